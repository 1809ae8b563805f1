#pragma once
// Shared by the shutdown stand-in, its dialog templates and the test driver.
//
// The stand-in is one long-lived process. Its hidden control window, titled
// kControlTitle, takes commands as WM_COPYDATA with dwData == kCommandTag and the
// command's UTF-16 text (no NUL) in lpData. SendMessage returns the answer:
//   open [noactivate] [delay=MS] [hidden=MS] [titled=MS] [thief=MS]
//       Opens the shutdown dialog. noactivate: shown with SW_SHOWNOACTIVATE and never
//       made the foreground window. delay: created MS later (a timer). hidden: created
//       at once but shown only MS later, so FindWindow finds it before it can have the
//       focus. titled: created under another title ("Untitled...", as long) and given
//       its own MS later. thief: the Focus Thief takes the foreground MS after the
//       dialog shows.
//       Returns 1, or 0 when a dialog is already open or pending.
//   close      Destroys the dialog. Returns 1, or 0 when none was open.
//   selection  Returns the index of the checked option (0..2); -1 without a dialog.
//   steal [delay=MS]
//       The Focus Thief window takes the foreground now or MS later. Returns 1.
//   Any other text returns -2.
//
// Every key message the process receives, every change of the dialog's selection and
// every command is appended as one line to the log file (/log:PATH), flushed at once:
//   <QueryPerformanceCounter> <event> name=value ...
// The first line is "start" with the counter's frequency (qpf=). Events: command,
// create (hidden, with the first selection), show (about to be shown), shown (with the
// foreground window after), retitle (with the title now), activate, key (msg, hwnd,
// class, id, top = the title of its top-level window, wparam, lparam, char), selection
// (index, text), close (by), steal, help, bystander, queryendsession, endsession
// (ending), error.

#define IDD_SHUTDOWN_ENGLISH 101
#define IDD_SHUTDOWN_GERMAN 102
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
