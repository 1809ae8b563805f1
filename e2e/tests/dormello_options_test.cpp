// The preselector's options dialog, used as a person uses it: keys typed into the
// foreground window go through the real dialog manager (Tab, Enter, Esc, access
// letters); what the dialog shows is read from outside, and the settings file is read
// back from disk. A beep (Cancel at start-up) cannot be observed from here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/form_check.h"
#include "e2e/driver/keys.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"
#include "e2e/tests/case_name.h"
#include "preselector/frm_dormellos.h"

namespace e2e {
namespace {

// `bytes` with the first occurrence of the line `from` replaced by `to`.
std::string ReplaceLine(std::string bytes, const std::string& from, const std::string& to) {
    const size_t at = bytes.find(from + "\r\n");
    if (at != std::string::npos) {
        bytes.replace(at, from.size(), to);
    }
    return bytes;
}

// ---- Typing --------------------------------------------------------------------------

// The unshifted key that types `letter` ('m' types m).
Chord Letter(wchar_t letter) { return Key(static_cast<WORD>(VkKeyScanW(letter) & 0xFF)); }
Chord ShiftTab() { return Chord{{VK_SHIFT}, VK_TAB}; }

// Types into `window` once it has become the foreground window by itself; the test never
// brings it forward, so a window that does not take the focus fails here.
testing::AssertionResult TypeWhenForeground(HWND window, const std::vector<Chord>& chords) {
    if (!WaitUntil([&] { return IsForeground(window); })) {
        return testing::AssertionFailure()
               << "\"" << ToUtf8(WindowText(window)) << "\" never became the foreground window";
    }
    if (!TypeInto(window, chords, kDefaultTimeout)) {
        return testing::AssertionFailure() << "the keys could not be typed";
    }
    return testing::AssertionSuccess();
}

// How the user leaves the options dialog without saving.
enum class CancelBy { EscKey, AltC, ClickCancel, CloseBox };

struct CancelCase {
    const char* name;
    CancelBy how;
};

const CancelCase kCancelCases[] = {
    {"Esc", CancelBy::EscKey},
    {"AltC", CancelBy::AltC},
    {"CancelButtonClicked", CancelBy::ClickCancel},
    {"CloseBox", CancelBy::CloseBox},
};

// How the user saves.
struct SaveCase {
    const char* name;
    Chord chord;
};

// ---- The fixture ---------------------------------------------------------------------

class DormelloOptions : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(DormelloMissing(), ""); }

    void StartDormello() { dormello_ = LaunchDormello({}, folder_); }

    std::string Ended() const { return Describe(dormello_); }

    // Start-up without a valid key: the message box, accepted with Enter, then the
    // options dialog.
    void StartWithoutSettingsUpToTheDialog() {
        StartDormello();
        HWND box = WaitForWindowOf(dormello_, MessageBoxOf, kStartTimeout);
        ASSERT_NE(box, nullptr) << "no message box titled \"Tobrin's Utilities\"; " << Ended();
        const std::wstring expected = L"Invalid Shutdown Option in " + settingsPath_;
        const auto texts = StaticTexts(box);
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end())
            << "the box does not read: " << ToUtf8(expected);
        ASSERT_TRUE(TypeWhenForeground(box, {Key(VK_RETURN)}));
        WaitForDialog();
    }

    // A settings file with `bytes` (none: the one already there), then start-up up to
    // the main window in front.
    void StartWithSettingsUpToTheMainWindow(const std::optional<std::string>& bytes) {
        if (bytes) {
            ASSERT_TRUE(WriteBytes(settingsPath_, *bytes));
        }
        StartDormello();
        main_ = WaitForMainWindow(dormello_);
        ASSERT_NE(main_, nullptr) << "the main window \"Dormello\" did not appear; " << Ended();
        ASSERT_TRUE(WaitUntil([&] { return IsForeground(main_); }))
            << "the main window did not take the focus";
    }

    // Change Options (Alt+C) on the main window, then the dialog.
    void OpenFromMainWindow() {
        ASSERT_TRUE(TypeWhenForeground(main_, {Alt(L'C')}));
        WaitForDialog();
    }

    // Waits for the options dialog in front and finds its controls.
    void WaitForDialog() {
        dialog_ = WaitForWindowOf(dormello_, OptionsDialogOf, kStartTimeout);
        ASSERT_NE(dialog_, nullptr)
            << "the dialog \"Change Shutdown Options\" did not appear; " << Ended();
        ASSERT_TRUE(WaitUntil([&] { return IsForeground(dialog_); }))
            << "the options dialog did not take the focus";
        for (const auto& control : Controls(dialog_)) {
            if (_wcsicmp(control.className.c_str(), L"Edit") == 0) {
                edit_ = control.handle;
            } else if (control.text == L"Hide Icon:") {
                check_ = control.handle;
            } else if (control.text == L"&Save") {
                save_ = control.handle;
            } else if (control.text == L"&Cancel") {
                cancel_ = control.handle;
            }
        }
        ASSERT_NE(edit_, nullptr) << "the dialog has no text box";
        ASSERT_NE(check_, nullptr) << "the dialog has no \"Hide Icon:\" check box";
        ASSERT_NE(save_, nullptr) << "the dialog has no \"&Save\" button";
        ASSERT_NE(cancel_, nullptr) << "the dialog has no \"&Cancel\" button";
    }

    // Types into the dialog's text box, and waits until it shows `shown`.
    void TypeKey(const std::vector<Chord>& chords, const std::wstring& shown) {
        ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog_) == edit_; }))
            << "the text box does not have the focus";
        ASSERT_TRUE(TypeWhenForeground(dialog_, chords));
        EXPECT_TRUE(WaitUntil([&] { return WindowText(edit_) == shown; }))
            << "the text box shows \"" << ToUtf8(WindowText(edit_)) << "\", not \"" << ToUtf8(shown)
            << "\"";
    }

    // Replaces the box's key as a person does: to the end, rub out, type.
    void ReplaceKey(wchar_t typed, const std::wstring& shown) {
        TypeKey({Key(VK_END), Key(VK_BACK), Letter(typed)}, shown);
    }

    // Tab to the check box, Space ticks it, Shift+Tab back to the text box.
    void TickHideIcon() {
        ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_TAB)}));
        ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog_) == check_; }))
            << "Tab did not move the focus to the check box";
        ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_SPACE)}));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(check_); })) << "Space did not tick it";
        ASSERT_TRUE(TypeWhenForeground(dialog_, {ShiftTab()}));
        ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog_) == edit_; }))
            << "Shift+Tab did not move the focus back to the text box";
    }

    void Cancel(CancelBy how) {
        switch (how) {
            case CancelBy::EscKey:
                ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_ESCAPE)}));
                break;
            case CancelBy::AltC:
                ASSERT_TRUE(TypeWhenForeground(dialog_, {Alt(L'C')}));
                break;
            case CancelBy::ClickCancel:
                PressButton(cancel_);
                break;
            case CancelBy::CloseBox:
                // What a click on the close box sends.
                PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
        }
    }

    testing::AssertionResult DialogCloses() const {
        if (WaitUntil([&] { return !IsWindow(dialog_) || !IsWindowVisible(dialog_); })) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "the options dialog is still open";
    }

    // The main window's status label ("Shutdown Option set to: ..."); "" when none.
    std::wstring StatusText() const {
        for (const auto& text : StaticTexts(main_)) {
            if (text.starts_with(kStatusPrefix)) {
                return text;
            }
        }
        return {};
    }

    std::wstring ExpectedStatus(const std::wstring& key) const {
        return kStatusPrefix + key + L"\r\nfrom " + settingsPath_;
    }

    testing::AssertionResult StatusBecomes(const std::wstring& expected) const {
        if (WaitUntil([&] { return StatusText() == expected; })) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "the status label reads \"" << ToUtf8(StatusText())
                                           << "\", not \"" << ToUtf8(expected) << "\"";
    }

    std::string SettingsBytes() const { return ReadBytes(settingsPath_).value_or("(no file)"); }

    // A shutdown dialog opened now gets Alt+`letter`: the stand-in's option at `index` is
    // selected, and the dialog saw the letter as a system character.
    testing::AssertionResult NextShutdownDialogGets(wchar_t letter, int index) const {
        auto standIn = ShutdownStandIn::Start(folder_);
        if (standIn.Command(L"open") != 1) {
            return testing::AssertionFailure() << "the stand-in did not open its dialog";
        }
        // The letter's case depends on whether Shift was held with Alt; the dialog
        // manager takes either as the access letter.
        const std::string lower(1, static_cast<char>(towlower(letter)));
        const std::string upper(1, static_cast<char>(towupper(letter)));
        const std::string title = ToUtf8(standIn.DialogTitle());
        const auto key = standIn.Log().WaitFor([&](const LogLine& l) {
            return l.event == "key" && l.Field("msg") == "WM_SYSCHAR" && l.Field("top") == title &&
                   (l.Field("char") == lower || l.Field("char") == upper);
        });
        if (!key || !standIn.WaitForSelection(index)) {
            return testing::AssertionFailure()
                   << "the shutdown dialog did not get Alt+" << upper << "; its log:\n"
                   << standIn.Log().Text();
        }
        return testing::AssertionSuccess();
    }

    const std::wstring folder_ = NewScratchFolder(L"options");
    const std::wstring settingsPath_ = folder_ + L"\\QUINTARO.INI";
    Process dormello_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
    HWND edit_ = nullptr;
    HWND check_ = nullptr;
    HWND save_ = nullptr;
    HWND cancel_ = nullptr;
};

const std::string kSettingsR = "[Shutdown]\r\nOption=R\r\nHide=False\r\n";

// ---- Start-up without a valid key ----------------------------------------------------

TEST_F(DormelloOptions, AtStartUpTheDialogHasNoShownOwnerAndIsLaidOutCentredOnTheScreen) {
    ASSERT_NO_FATAL_FAILURE(StartWithoutSettingsUpToTheDialog());

    HWND owner = GetWindow(dialog_, GW_OWNER);
    if (owner != nullptr) {
        EXPECT_EQ(ProcessOf(owner), dormello_.Pid()) << "owned by another program's window";
        EXPECT_FALSE(IsWindowVisible(owner))
            << "owned by the shown window \"" << ToUtf8(WindowText(owner)) << "\"";
    }
    // With no shown owner, a layout without a place centres the dialog on the screen.
    const auto differences =
        LayoutDifferences(dialog_, preselector::frmDormellosLayout(), ScreenDpi());
    EXPECT_TRUE(differences.empty()) << Lines(differences);
    EXPECT_EQ(WindowText(edit_), L"") << "no key is known yet";
    EXPECT_FALSE(IsChecked(check_));
}

TEST_F(DormelloOptions,
       TheTextBoxShowsATypedLetterUpperCasedAndRefusesASecondOneOrOneTheFileCannotHold) {
    ASSERT_NO_FATAL_FAILURE(StartWithoutSettingsUpToTheDialog());

    ASSERT_NO_FATAL_FAILURE(TypeKey({Letter(L'r')}, L"R"));
    // A second letter, then a character the settings file cannot hold typed over the
    // first (a Unicode packet, as an input method types it): both are refused. Then Tab:
    // once the focus has moved, they were handled.
    ASSERT_TRUE(
        TypeWhenForeground(dialog_, {Letter(L's'), Key(VK_HOME), Chord{{VK_SHIFT}, VK_END}}));
    // Unicode packets are NT's: through the A functions, the system hands the text box
    // the code page's '?' for the character before the program sees it.
    if (!ProgramsUseAnsiForms()) {
        INPUT packet[2]{};
        for (int i = 0; i < 2; ++i) {
            packet[i].type = INPUT_KEYBOARD;
            packet[i].ki.wScan = L'\u4e2d';
            packet[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0u);
        }
        ASSERT_EQ(SendInput(2, packet, sizeof(INPUT)), 2u);
    }
    ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_TAB)}));
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog_) == check_; }))
        << "Tab did not move the focus to the check box";
    EXPECT_EQ(WindowText(edit_), L"R");
}

class DormelloStartupSave : public DormelloOptions, public testing::WithParamInterface<SaveCase> {};

TEST_P(DormelloStartupSave, SavesHideAndOptionThenTheMainWindowAndTheShutdownDialogUseTheKey) {
    ASSERT_NO_FATAL_FAILURE(StartWithoutSettingsUpToTheDialog());
    ASSERT_NO_FATAL_FAILURE(TypeKey({Letter(L'r')}, L"R"));

    ASSERT_TRUE(TypeWhenForeground(dialog_, {GetParam().chord}));

    EXPECT_TRUE(DialogCloses());
    main_ = WaitForMainWindow(dormello_);
    ASSERT_NE(main_, nullptr) << "the main window did not appear; " << Ended();
    EXPECT_TRUE(StatusBecomes(ExpectedStatus(L"R")));
    EXPECT_EQ(SettingsBytes(), "[Shutdown]\r\nHide=False\r\nOption=R\r\n");
    EXPECT_TRUE(NextShutdownDialogGets(L'R', kRestart));
}

INSTANTIATE_TEST_SUITE_P(Keys, DormelloStartupSave,
                         testing::Values(SaveCase{"Enter", Key(VK_RETURN)},
                                         SaveCase{"AltS", Alt(L'S')}),
                         CaseName);

class DormelloStartupCancel : public DormelloOptions,
                              public testing::WithParamInterface<CancelCase> {};

TEST_P(DormelloStartupCancel, EndsTheProgramWithoutWritingASettingsFile) {
    ASSERT_NO_FATAL_FAILURE(StartWithoutSettingsUpToTheDialog());
    ASSERT_NO_FATAL_FAILURE(TypeKey({Letter(L'r')}, L"R"));

    ASSERT_NO_FATAL_FAILURE(Cancel(GetParam().how));

    EXPECT_TRUE(dormello_.WaitForExit(kDefaultTimeout)) << Ended();
    EXPECT_FALSE(FileExists(settingsPath_))
        << "written: " << testing::PrintToString(SettingsBytes());
}

INSTANTIATE_TEST_SUITE_P(Ways, DormelloStartupCancel, testing::ValuesIn(kCancelCases), CaseName);

// ---- Change Options on the main window -----------------------------------------------

// Its layout, centred on the main window, is dpi_check's.
TEST_F(DormelloOptions, ChangeOptionsOpensTheDialogOverTheMainWindowWhichStaysDisabled) {
    ASSERT_NO_FATAL_FAILURE(StartWithSettingsUpToTheMainWindow(kSettingsR));
    ASSERT_NO_FATAL_FAILURE(OpenFromMainWindow());
    const std::wstring picture = Screenshot(L"dormello_options_dialog", dialog_);
    EXPECT_TRUE(Env().screenshotDir.empty() || !picture.empty()) << "no picture was written";

    EXPECT_EQ(GetWindow(dialog_, GW_OWNER), main_);
    EXPECT_FALSE(IsWindowEnabled(main_)) << "the main window takes input under the dialog";
    EXPECT_EQ(WindowText(edit_), L"R") << "the key in force";
    EXPECT_FALSE(IsChecked(check_)) << "Hide=False";
    // Keys typed at the main window now reach the dialog alone.
    ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_ESCAPE)}));
    EXPECT_TRUE(DialogCloses());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) != FALSE; }))
        << "the main window stays disabled after the dialog closed";
}

class DormelloChangeCancel : public DormelloOptions,
                             public testing::WithParamInterface<CancelCase> {};

TEST_P(DormelloChangeCancel, LeavesTheFileTheLabelAndTheKeyInForceAsTheyWere) {
    ASSERT_NO_FATAL_FAILURE(StartWithSettingsUpToTheMainWindow(kSettingsR));
    ASSERT_NO_FATAL_FAILURE(OpenFromMainWindow());
    ASSERT_NO_FATAL_FAILURE(ReplaceKey(L'm', L"M"));
    ASSERT_NO_FATAL_FAILURE(TickHideIcon());

    ASSERT_NO_FATAL_FAILURE(Cancel(GetParam().how));

    EXPECT_TRUE(DialogCloses());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) != FALSE; }));
    EXPECT_TRUE(IsWindowVisible(main_)) << "Hide Icon was not saved";
    EXPECT_EQ(StatusText(), ExpectedStatus(L"R"));
    EXPECT_EQ(SettingsBytes(), kSettingsR);
    EXPECT_TRUE(NextShutdownDialogGets(L'R', kRestart));
}

INSTANTIATE_TEST_SUITE_P(Ways, DormelloChangeCancel, testing::ValuesIn(kCancelCases), CaseName);

// ---- The settings file ---------------------------------------------------------------

// With Hide Icon ticked as well: the main window hides as the dialog closes, and the
// preselector goes on answering with the new key. (A hidden main window's label is not
// updated; the update after a Save is DormelloUnwritableSettings'.)
TEST_F(DormelloOptions, SavingKeepsOtherSectionsCommentsAndKeysOfTheFile) {
    // No blank lines: Wine's profile writer drops them from a file it rewrites, where
    // Windows keeps them; that is the system's doing, not the preselector's.
    const std::string original =
        "; Tobrin's Utilities settings\r\n"
        "[General]\r\n"
        "Colour=Blue\r\n"
        "Option=Z\r\n"
        "[Shutdown]\r\n"
        "; the key typed into the shutdown dialog\r\n"
        "Option=R\r\n"
        "Delay=5\r\n"
        "Hide=False\r\n"
        "[Other]\r\n"
        "; last words\r\n"
        "Hide=Maybe\r\n";
    ASSERT_NO_FATAL_FAILURE(StartWithSettingsUpToTheMainWindow(original));
    ASSERT_NO_FATAL_FAILURE(OpenFromMainWindow());
    ASSERT_NO_FATAL_FAILURE(ReplaceKey(L'm', L"M"));
    ASSERT_NO_FATAL_FAILURE(TickHideIcon());

    ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_RETURN)}));

    EXPECT_TRUE(DialogCloses());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main_); }))
        << "Hide Icon ticked, the main window is still shown";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) != FALSE; }));
    EXPECT_EQ(SettingsBytes(), ReplaceLine(ReplaceLine(original, "Option=R", "Option=M"),
                                           "Hide=False", "Hide=True"));
    EXPECT_TRUE(NextShutdownDialogGets(L'M', kMsDos)) << "hidden, it keeps working";
}

// Why the settings file cannot be written when Save is pressed.
enum class Unwritable { ReadOnlyAttribute, OpenWithoutSharing };

struct UnwritableCase {
    const char* name;
    Unwritable why;
};

class DormelloUnwritableSettings : public DormelloOptions,
                                   public testing::WithParamInterface<UnwritableCase> {
  protected:
    void TearDown() override {
        Release();
        // A read-only file the test made is left writable for whoever cleans up.
        SetFileAttributesW(settingsPath_.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    // Makes the settings file unwritable for the preselector; false when this system
    // does not refuse the write (see the skip below).
    bool MakeUnwritable() {
        if (GetParam().why == Unwritable::ReadOnlyAttribute) {
            if (!SetFileAttributesW(settingsPath_.c_str(), FILE_ATTRIBUTE_READONLY)) {
                return false;
            }
            HANDLE probe = CreateFileW(settingsPath_.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            if (probe == INVALID_HANDLE_VALUE) {
                return true;
            }
            CloseHandle(probe);
            return false;
        }
        // Held open with no sharing, as an editor or a backup program may hold it.
        holder_ = CreateFileW(settingsPath_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        return holder_ != INVALID_HANDLE_VALUE;
    }

    void Release() {
        if (holder_ != INVALID_HANDLE_VALUE) {
            CloseHandle(holder_);
            holder_ = INVALID_HANDLE_VALUE;
        }
    }

    HANDLE holder_ = INVALID_HANDLE_VALUE;
};

TEST_P(DormelloUnwritableSettings, SaveNamesTheFileInAMessageAndTheNewKeyStillApplies) {
    ASSERT_NO_FATAL_FAILURE(StartWithSettingsUpToTheMainWindow(kSettingsR));
    ASSERT_NO_FATAL_FAILURE(OpenFromMainWindow());
    ASSERT_NO_FATAL_FAILURE(ReplaceKey(L'm', L"M"));
    if (!MakeUnwritable()) {
        // Wine run as root opens a read-only file for writing: the attribute is only the
        // Unix mode bits, which root passes.
        GTEST_SKIP() << "this system lets the test itself write the read-only file";
    }

    ASSERT_TRUE(TypeWhenForeground(dialog_, {Key(VK_RETURN)}));

    HWND box = WaitForWindowOf(dormello_, MessageBoxOf);
    ASSERT_NE(box, nullptr) << "no message box titled \"Tobrin's Utilities\"; " << Ended()
                            << "; the file holds " << testing::PrintToString(SettingsBytes());
    Screenshot(L"dormello_options_unwritable_" + FromUtf8(GetParam().name), box);
    const auto texts = StaticTexts(box);
    EXPECT_TRUE(std::any_of(
        texts.begin(), texts.end(),
        [&](const std::wstring& text) { return text.find(settingsPath_) != std::wstring::npos; }))
        << "the box does not name " << ToUtf8(settingsPath_);
    ASSERT_TRUE(TypeWhenForeground(box, {Key(VK_RETURN)}));
    EXPECT_TRUE(DialogCloses());
    EXPECT_TRUE(StatusBecomes(ExpectedStatus(L"M")));
    Release();
    EXPECT_EQ(SettingsBytes(), kSettingsR);
    EXPECT_TRUE(NextShutdownDialogGets(L'M', kMsDos));
}

INSTANTIATE_TEST_SUITE_P(Files, DormelloUnwritableSettings,
                         testing::Values(UnwritableCase{"ReadOnly", Unwritable::ReadOnlyAttribute},
                                         UnwritableCase{"OpenWithoutSharing",
                                                        Unwritable::OpenWithoutSharing}),
                         CaseName);

}  // namespace
}  // namespace e2e
