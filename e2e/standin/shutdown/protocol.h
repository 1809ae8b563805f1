#pragma once
// Shared by the shutdown stand-in, its dialog templates and the test driver.
//
//   standin_shutdown.exe [/german | /symbols] [/bystander] [/log:PATH]
//
// /symbols: the English dialog whose options' access characters need Shift on a US
// layout ("&! Restart", "&+ MS-DOS mode"), for keys that are no plain letters.
//
// The stand-in is one long-lived process. Its hidden control window, titled
// kControlTitle, takes commands as WM_COPYDATA with dwData == kCommandTag and the
// command's UTF-16 text (no NUL) in lpData. SendMessage returns the answer:
//   open [modal] [foreground] [noactivate] [thread] [hidden=MS] [titled=MS] [forward=MS]
//        [busy=MS] [thief=MS]
//       Opens the shutdown dialog in one of the shapes real dialogs take:
//       modal       run by DialogBox in a modal loop of its own, which shows it when its
//                   queue first goes idle; otherwise modeless (CreateDialog), shown by
//                   the stand-in and run by the thread's own loop.
//       foreground  DS_SETFOREGROUND: the dialog takes the front while it is created,
//                   before anything shows it.
//       noactivate  shown with SW_SHOWNOACTIVATE and never made the foreground window.
//       thread      created by a second thread, with its own message loop and key log.
//       hidden      created at once, shown MS later: FindWindow finds it hidden.
//       titled      created under another title ("Untitled...", as long), given its
//                   own MS later.
//       forward     shown without taking the front, as noactivate, and brought to the
//                   front by the stand-in itself MS after it is shown.
//       busy        its initialisation (WM_INITDIALOG) takes MS: a modal dialog is shown
//                   only after the messages that came meanwhile.
//       thief       the Focus Thief takes the foreground MS after the dialog shows.
//       Returns 1; 0 when a dialog is already open; kUnknownCommand for a
//       word it does not know or shapes that do not combine (modal with hidden or
//       noactivate, foreground with noactivate).
//   close      Closes the dialog. Returns 1, or 0 when none was open.
//   selection  Returns the index of the checked option (0..2); -1 without a dialog.
//   steal [delay=MS]
//       The Focus Thief window takes the foreground now or MS later. Returns 1.
//   Any other text returns kUnknownCommand.
//
// The log (e2e/standin/line_log.h; the key lines in e2e/standin/key_logger.h) has every
// key message, every command, and of each appearance of the dialog: create (hwnd, title,
// the first selection), activate (state), show (about to be shown; the foreground window
// then), shown (the foreground window after), retitle (title), forward (the foreground
// window after), selection (index, text) at
// each change, close (by, selection). The other events: start (lang, bystander), steal
// (hwnd; from, the foreground window it took the front from), help, bystander, error.

#define IDD_SHUTDOWN_ENGLISH 101
#define IDD_SHUTDOWN_GERMAN 102
#define IDD_SHUTDOWN_SYMBOLS 103
#define IDC_OPTION_SHUTDOWN 1001
#define IDC_OPTION_RESTART 1002
#define IDC_OPTION_MSDOS 1003

#ifndef RC_INVOKED
#include <windows.h>

namespace standin {

inline constexpr wchar_t kControlTitle[] = L"Shutdown Stand-in Control";
inline constexpr wchar_t kThiefTitle[] = L"Focus Thief";
inline constexpr wchar_t kBystanderTitle[] = L"Bystander";
inline constexpr wchar_t kEnglishTitle[] = L"Shut Down Windows";
inline constexpr wchar_t kGermanTitle[] = L"Windows beenden";
inline constexpr ULONG_PTR kCommandTag = 0x53445331;  // "SDS1"

inline constexpr LRESULT kUnknownCommand = -2;
inline constexpr LRESULT kNoSelection = -1;

}  // namespace standin
#endif
