#pragma once
// What the programs rely on from a PlatformShell, as one typed suite run on both desktops:
// the simulated one in the host tests (tests/shell_contract_test.cpp) and the real Win32
// one under Wine in the end-to-end runner (e2e/tests/shell_contract_test.cpp). A case that
// passes on one and fails on the other is a place where the simulation is not Windows.
//
// Each desktop gives a driver for what the cases arrange:
//   desktop::PlatformShell& Shell();
//   WindowHandle Open(std::u16string title, Look look);  another program's top-level
//       window; a Shown or Bare one takes the front
//   void Close(WindowHandle window);
//   void ToFront(WindowHandle window);                   its program brings it forward
//   void Rename(WindowHandle window, std::u16string title);  its program retitles it
//   std::u16string ProfileFolder();                      a Windows folder to write in
//   void WriteFile(std::u16string_view path, std::string_view bytes);
//   std::string ReadFile(std::u16string_view path);
//   void PressKey(WindowHandle front); ClickMouse(front); MoveMouse(front);
//       the user, with `front` in front; each returns once `front` has had the input
//   void AnswerWhenUp(std::u16string_view boxTitle, int answer);   the user answers the
//       next message box with that title
//   void CloseWhenUp(desktop::Form& form);               the user closes the form by its
//       close box once it is up
//   WindowHandle FormHandle(desktop::Form& form);
//   bool Eventually(const std::function<bool()>& condition);  runs the program's events
//       until the condition holds, within a bound
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "desktop/platform_shell.h"

namespace shell_contract {

using desktop::WindowHandle;

// How another program's window is on screen. Bare: shown, but no control of it shown
// yet, as a dialog is before its dialog manager shows them.
enum class Look { Shown, Hidden, Bare, Minimised };

using Log = std::vector<std::string>;

// A form of the program that writes down its events.
class LoggingForm : public desktop::Form {
  public:
    LoggingForm(desktop::PlatformShell& shell, std::string name, std::u16string caption, Log& log)
        : Form(shell), log_(log) {
        layout_.name = std::move(name);
        layout_.caption = std::move(caption);
        layout_.clientWidth = 3000;
        layout_.clientHeight = 1500;
        layout_.controls = {{.name = "lbl",
                             .kind = desktop::ControlKind::Label,
                             .content = u"Contract",
                             .rect = {120, 120, 2000, 300}}};
    }
    const desktop::FormLayout& Layout() const override { return layout_; }
    void Form_Load() override { Log("Load"); }
    void Form_Activate() override { Log("Activate"); }
    void Form_QueryUnload(int& /*cancel*/, int mode) override {
        Log("QueryUnload " + std::to_string(mode));
    }
    void Form_Unload() override { Log("Unload"); }

  private:
    void Log(const std::string& event) { log_.push_back(layout_.name + " " + event); }
    desktop::FormLayout layout_;
    shell_contract::Log& log_;
};

template <typename Driver>
class ShellContract : public ::testing::Test {
  protected:
    Driver driver_;
    desktop::PlatformShell& shell_ = driver_.Shell();
};

TYPED_TEST_SUITE_P(ShellContract);

TYPED_TEST_P(ShellContract, TitleSearchMatchesWholeTitlesIgnoringCaseHiddenWindowsToo) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle windows[] = {
        d.Open(u"Shut Down Windows", Look::Shown), d.Open(u"Windows beenden", Look::Hidden),
        d.Open(u"Caf\u00e9 \u20ac", Look::Hidden), d.Open(u"\u0100 Macron", Look::Hidden),
        d.Open(u"A Macron", Look::Hidden),         d.Open(u"\u4e2d Title", Look::Hidden),
    };
    constexpr int kNone = -1;
    // FindWindowA takes the title through the ANSI code page, where a character it lacks
    // becomes its best fit (A-macron: A) or '?'; FindWindowTitled compares UTF-16 titles.
    const struct {
        std::u16string_view title;
        int byAnsi;
        int titled;
    } cases[] = {
        {u"Shut Down Windows", 0, 0},
        {u"SHUT DOWN WINDOWS", 0, 0},
        {u"shut down windows", 0, 0},
        {u"Shut Down", kNone, kNone},
        {u"Shut Down Windows...", kNone, kNone},
        {u"Shut Down Windows ", kNone, kNone},
        {u"windows BEENDEN", 1, 1},
        {u"CAF\u00c9 \u20ac", 2, 2},
        {u"\u0100 MACRON", 4, 3},
        {u"\u4e2d title", kNone, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(common::ToUtf8(c.title));
        const auto expected = [&](int i) { return i == kNone ? 0 : windows[i]; };
        EXPECT_EQ(shell.FindWindowA(c.title), expected(c.byAnsi));
        const std::u16string_view one[] = {c.title};
        const auto found = shell.FindWindowTitled(one);
        EXPECT_EQ(found.handle, expected(c.titled));
        EXPECT_EQ(found.title, 0u);
    }
    // The first title of the list that some window has wins, wherever that window is.
    const std::u16string_view titles[] = {u"Nothing", u"WINDOWS BEENDEN", u"Shut Down Windows"};
    const auto found = shell.FindWindowTitled(titles);
    EXPECT_EQ(found.handle, windows[1]);
    EXPECT_EQ(found.title, 1u);
}

TYPED_TEST_P(ShellContract, TitleSearchNeverFindsAWindowRenamedAway) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle dialog = d.Open(u"Shut Down Windows", Look::Shown);
    const std::u16string_view titles[] = {u"Shut Down Windows"};
    EXPECT_EQ(shell.FindWindowTitled(titles).handle, dialog);
    // Where renames go unreported a title read a moment ago may stand in for reading it
    // again, but never for one that matches: a caller waiting for the window to go would
    // find it gone by FindWindowA and look again at once, without end.
    d.Rename(dialog, u"Shut Down Windows - Help");
    EXPECT_EQ(shell.FindWindowTitled(titles).handle, 0);
    EXPECT_EQ(shell.FindWindowA(u"Shut Down Windows"), 0);
}

TYPED_TEST_P(ShellContract, TitleSearchFindsTheTopmostOfNamesakes) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle first = d.Open(u"Twin", Look::Shown);
    const WindowHandle second = d.Open(u"Twin", Look::Shown);
    const std::u16string_view twin[] = {u"TWIN"};
    EXPECT_EQ(shell.FindWindowA(u"twin"), second);
    EXPECT_EQ(shell.FindWindowTitled(twin).handle, second);
    // Windows raises a window as it takes the front; Wine raises it a moment later, once
    // the activation has come back from the X server.
    d.ToFront(first);
    EXPECT_TRUE(d.Eventually([&] { return shell.FindWindowA(u"twin") == first; }));
    EXPECT_EQ(shell.FindWindowTitled(twin).handle, first);
    // A window made later is on top of the others, hidden or not. One whose making goes
    // unreported (as this program's own windows do, to itself) is found at the desktop's
    // next listing, a few seconds later at most.
    const WindowHandle newest = d.Open(u"Twin", Look::Hidden);
    EXPECT_EQ(shell.FindWindowA(u"twin"), newest);
    EXPECT_TRUE(d.Eventually([&] { return shell.FindWindowTitled(twin).handle == newest; }));
}

TYPED_TEST_P(ShellContract, ProfileReadsFillAFixedBufferAsTheSystemCallDoes) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const std::string longValue = "[Shutdown]\r\nOption=" + std::string(300, 'x') + "\r\n";
    // One byte a character in the code page.
    const std::string longAccented = "[Shutdown]\r\nOption=" + std::string(300, '\xE9') + "\r\n";
    const struct {
        const char* what;
        const char* content;  // null: no file
        std::u16string_view section;
        std::u16string_view key;
        std::u16string_view fallback;
        int size;
        std::u16string expected;
    } cases[] = {
        {"no file", nullptr, u"Shutdown", u"Hide", u"!!", 255, u"!!"},
        {"no section", "[Other]\r\nHide=True\r\n", u"Shutdown", u"Hide", u"!!", 255, u"!!"},
        {"no key", "[Shutdown]\r\nOption=S\r\n", u"Shutdown", u"Hide", u"!!", 255, u"!!"},
        {"names in any case", "[SHUTDOWN]\r\nhide=True\r\n", u"Shutdown", u"HIDE", u"!!", 255,
         u"True"},
        {"spaces around", "[Shutdown]\r\n  Hide =   a b   \r\n", u"shutdown", u"hide", u"!!", 255,
         u"a b"},
        {"long value", longValue.c_str(), u"Shutdown", u"Option", u"!!", 255,
         std::u16string(254, u'x')},
        {"long accented value", longAccented.c_str(), u"Shutdown", u"Option", u"!!", 255,
         std::u16string(254, u'\u00e9')},
        {"default's trailing spaces", nullptr, u"Shutdown", u"Hide", u"  ab  ", 255, u"  ab"},
        {"default cut", nullptr, u"Shutdown", u"Hide", u"abcdef", 4, u"abc"},
    };
    int file = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A file of its own per case: Wine keeps profile files cached by name.
        const std::u16string path =
            d.ProfileFolder() + u"\\READ" + common::FromUtf8(std::to_string(++file)) + u".INI";
        if (c.content != nullptr) d.WriteFile(path, c.content);
        std::u16string buffer(c.size + 4, u'#');
        const int n =
            shell.GetPrivateProfileStringA(c.section, c.key, c.fallback, buffer, c.size, path);
        EXPECT_EQ(n, static_cast<int>(c.expected.size()));
        EXPECT_EQ(buffer.substr(0, c.expected.size()), c.expected);
        // The NUL, then what the buffer held before.
        EXPECT_EQ(buffer.substr(c.expected.size()),
                  u'\0' + std::u16string(buffer.size() - c.expected.size() - 1, u'#'));
    }
}

TYPED_TEST_P(ShellContract, ProfileWritesKeepEveryOtherLine) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    // Lines in the form the system writes them: Wine rewrites every line so (no spaces
    // around '=', blank lines dropped) where Windows keeps them as they were.
    const struct {
        const char* what;
        const char* before;  // null: no file
        std::u16string_view section;
        std::u16string_view key;
        std::u16string_view value;
        const char* after;
    } cases[] = {
        {"new file", nullptr, u"Shutdown", u"Hide", u"False", "[Shutdown]\r\nHide=False\r\n"},
        {"value replaced",
         "; note\r\n[Shutdown]\r\nHide=True\r\nOption=R\r\n[Other]\r\nHide=x\r\nloose line\r\n",
         u"shutdown", u"HIDE", u"False",
         "; note\r\n[Shutdown]\r\nHide=False\r\nOption=R\r\n[Other]\r\nHide=x\r\nloose line\r\n"},
        {"key added to its section", "[Shutdown]\r\nOption=R\r\n[Other]\r\nA=1\r\n", u"SHUTDOWN",
         u"Hide", u"True", "[Shutdown]\r\nOption=R\r\nHide=True\r\n[Other]\r\nA=1\r\n"},
        {"section added", "; note\r\n[Other]\r\nA=1\r\n", u"Shutdown", u"Hide", u"True",
         "; note\r\n[Other]\r\nA=1\r\n[Shutdown]\r\nHide=True\r\n"},
    };
    int file = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string name = common::FromUtf8(std::to_string(++file)) + u".INI";
        const std::u16string path = d.ProfileFolder() + u"\\WRITE" + name;
        if (c.before != nullptr) d.WriteFile(path, c.before);
        EXPECT_TRUE(shell.WritePrivateProfileStringA(c.section, c.key, c.value, path));
        EXPECT_EQ(d.ReadFile(path), c.after);
        std::u16string buffer(16, u'#');
        // File names ignore case.
        shell.GetPrivateProfileStringA(c.section, c.key, u"!!", buffer, 16,
                                       d.ProfileFolder() + u"\\write" + name);
        EXPECT_EQ(buffer.substr(0, c.value.size() + 1), std::u16string(c.value) + u'\0');
    }
}

TYPED_TEST_P(ShellContract, WindowsDirectoryFillsAFixedBufferOrSaysWhatItNeeds) {
    auto& shell = this->shell_;
    std::u16string buffer(300, u'#');
    const int n = shell.GetWindowsDirectoryA(buffer, 300);
    ASSERT_GT(n, 3);
    const std::u16string directory = buffer.substr(0, n);
    EXPECT_EQ(directory.substr(1, 2), u":\\");
    EXPECT_EQ(directory.find(u'\0'), std::u16string::npos);
    EXPECT_EQ(buffer.substr(n), u'\0' + std::u16string(300 - n - 1, u'#'));
    const struct {
        int size;
        int returned;
        bool written;
    } cases[] = {{n + 1, n, true}, {n, n + 1, false}, {1, n + 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::u16string fixed(n + 4, u'#');
        EXPECT_EQ(shell.GetWindowsDirectoryA(fixed, c.size), c.returned);
        EXPECT_EQ(fixed, c.written ? directory + u'\0' + u"###" : std::u16string(n + 4, u'#'));
    }
}

TYPED_TEST_P(ShellContract, AWindowThatHasGoneHasNoTaskAndTakesNoKeys) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle window = d.Open(u"Contract Keys", Look::Shown);
    EXPECT_GT(shell.WindowTask(window), 0);
    EXPECT_TRUE(shell.PostKeystrokes(window, u"%r"));
    shell.PumpEvents();
    d.Close(window);
    EXPECT_EQ(shell.WindowTask(window), 0);
    EXPECT_FALSE(shell.PostKeystrokes(window, u"%r"));
    // Malformed keys fail before anything is posted, window or none.
    EXPECT_THROW(shell.PostKeystrokes(window, u"{"), desktop::DesktopError);
}

TYPED_TEST_P(ShellContract, UpperCaseFollowsTheSystemsCaseTable) {
    auto& shell = this->shell_;
    const struct {
        std::u16string_view text;
        std::u16string_view upper;
    } cases[] = {
        {u"az Hello, 1%!", u"AZ HELLO, 1%!"},
        {u"\u00e9\u00e0\u00fe", u"\u00c9\u00c0\u00de"},  // Latin-1
        {u"\u00ff", u"\u0178"},                          // its capital is outside Latin-1
        {u"\u0101\u0142\u0153", u"\u0100\u0141\u0152"},  // Latin Extended-A
        {u"\u0192\u0180\u01c6", u"\u0191\u0243\u01c4"},  // Latin Extended-B
        {u"\u03b1\u03c9", u"\u0391\u03a9"},              // Greek
        {u"\u0431\u044f\u0451", u"\u0411\u042f\u0401"},  // Cyrillic
        {u"\uff41\uff5a", u"\uff21\uff3a"},              // fullwidth
        {u"\u00df\u00f7", u"\u00df\u00f7"},              // no capital of their own
        // Windows' table (Wine builds its own the same way) keeps only the case pairs that
        // map back: the micro sign gets no Greek capital, dotless i and final sigma stay.
        {u"\u00b5\u0131\u03c2", u"\u00b5\u0131\u03c2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell.UpperCase(c.text), c.upper) << common::ToUtf8(c.text);
    }
}

TYPED_TEST_P(ShellContract, AnsiCodePageHoldsOnlyWhatComesBackUnchanged) {
    auto& shell = this->shell_;
    const struct {
        std::u16string_view text;
        bool held;
    } cases[] = {
        {u"R", true},       {u"\u00e9", true}, {u"\u20ac", true},  // in Windows-1252 at 0x80
        {u"\u0100", false},                                        // stored as its best fit, A
        {u"\uff21", false},                                        // fullwidth A: stored as A
        {u"\u4e2d", false},                                        // stored as '?'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell.AnsiCodePageHolds(c.text), c.held) << common::ToUtf8(c.text);
    }
}

TYPED_TEST_P(ShellContract, AWindowIsShownOnlyVisibleUnminimisedAndWithAControl) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const struct {
        Look look;
        bool shown;
    } cases[] = {
        {Look::Hidden, false}, {Look::Shown, true}, {Look::Minimised, false}, {Look::Bare, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.look));
        const WindowHandle window = d.Open(u"Contract Look", c.look);
        EXPECT_EQ(shell.WindowShown(window), c.shown);
        d.Close(window);
    }
}

TYPED_TEST_P(ShellContract, TheFrontGoesWhereItIsAskedForAndBackWhenItsWindowCloses) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle first = d.Open(u"Contract First", Look::Shown);
    EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == first; }));
    const WindowHandle second = d.Open(u"Contract Second", Look::Shown);
    EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == second; }));
    shell.ActivateWindow(u"CONTRACT FIRST");
    EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == first; }));
    d.Close(first);
    EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == second; }));
    EXPECT_THROW(shell.ActivateWindow(u"Contract First"), desktop::DesktopError);
}

TYPED_TEST_P(ShellContract, UserPressesCountKeysAndClicksOnlyWhileCounting) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    const WindowHandle front = d.Open(u"Contract Input", Look::Shown);
    ASSERT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == front; }));
    shell.CountUserPresses(true);
    const struct {
        const char* what;
        std::function<void()> act;
        int counted;
    } cases[] = {
        {"key press", [&] { d.PressKey(front); }, 1},
        {"mouse click", [&] { d.ClickMouse(front); }, 1},
        {"mouse move", [&] { d.MoveMouse(front); }, 0},
        {"posted keys",
         [&] {
             EXPECT_TRUE(shell.PostKeystrokes(front, u"ab{ENTER}"));
             shell.PumpEvents();
         },
         0},
    };
    for (const auto& c : cases) {
        const int before = shell.UserPresses();
        c.act();
        EXPECT_EQ(shell.UserPresses() - before, c.counted) << c.what;
    }
    shell.CountUserPresses(false);
    const int before = shell.UserPresses();
    d.PressKey(front);
    d.ClickMouse(front);
    EXPECT_EQ(shell.UserPresses(), before) << "counted while off";
}

// The front comes back to the form that had it, and only the program's own forms raise
// Activate: at the first show and when a modal form of the program closes.
TYPED_TEST_P(ShellContract, ModalWindowsHandTheFrontBackAndActivateIsOnlyForOwnForms) {
    auto& d = this->driver_;
    auto& shell = this->shell_;
    Log log;
    LoggingForm main(shell, "frmMain", u"Contract Main", log);
    LoggingForm dialog(shell, "frmDialog", u"Contract Dialog", log);
    const struct {
        const char* what;
        std::function<void()> act;
        Log raised;
    } stages[] = {
        {"first show, and again",
         [&] {
             shell.Show(main);
             shell.Show(main);
         },
         {"frmMain Load", "frmMain Activate"}},
        {"another program's window takes the front and closes",
         [&] {
             const WindowHandle other = d.Open(u"Contract Other", Look::Shown);
             EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == other; }));
             d.Close(other);
         },
         {}},
        {"message box",
         [&] {
             d.AnswerWhenUp(u"Contract Box", desktop::kAnswerNo);
             EXPECT_EQ(shell.ShowMessage(u"Go on?", desktop::kStyleQuestionYesNo, u"Contract Box"),
                       desktop::kAnswerNo);
         },
         {}},
        {"modal form",
         [&] {
             d.CloseWhenUp(dialog);
             shell.ShowModal(dialog, &main);
         },
         {"frmDialog Load", "frmDialog Activate", "frmDialog QueryUnload 0", "frmDialog Unload",
          "frmMain Activate"}},
    };
    for (const auto& stage : stages) {
        SCOPED_TRACE(stage.what);
        log.clear();
        stage.act();
        EXPECT_TRUE(d.Eventually([&] { return shell.ForegroundWindow() == d.FormHandle(main); }));
        EXPECT_EQ(log, stage.raised);
    }
    shell.Unload(main);
}

REGISTER_TYPED_TEST_SUITE_P(
    ShellContract, TitleSearchMatchesWholeTitlesIgnoringCaseHiddenWindowsToo,
    TitleSearchNeverFindsAWindowRenamedAway, TitleSearchFindsTheTopmostOfNamesakes,
    ProfileReadsFillAFixedBufferAsTheSystemCallDoes, ProfileWritesKeepEveryOtherLine,
    WindowsDirectoryFillsAFixedBufferOrSaysWhatItNeeds, AWindowThatHasGoneHasNoTaskAndTakesNoKeys,
    UpperCaseFollowsTheSystemsCaseTable, AnsiCodePageHoldsOnlyWhatComesBackUnchanged,
    AWindowIsShownOnlyVisibleUnminimisedAndWithAControl,
    TheFrontGoesWhereItIsAskedForAndBackWhenItsWindowCloses,
    UserPressesCountKeysAndClicksOnlyWhileCounting,
    ModalWindowsHandTheFrontBackAndActivateIsOnlyForOwnForms);

}  // namespace shell_contract
