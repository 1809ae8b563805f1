// The shutdown stand-in does what the preselector's tests rely on: its dialog is a real
// dialog whose access letters select options, it reports every key and selection, and
// its commands open, hide, delay and disturb the dialog as asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/driver/dialog_appearances.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/keys.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"
#include "e2e/standin/shutdown/protocol.h"

namespace e2e {
namespace {

struct Language {
    const char* name;
    bool german;
    std::vector<std::wstring> captions;  // the dialog's buttons in Z order
};

const Language kEnglish{"English",
                        false,
                        {L"&Shut down the computer?", L"&Restart the computer?",
                         L"Restart the computer in &MS-DOS mode?", L"&Yes", L"&No", L"&Help"}};
const Language kGerman{"German",
                       true,
                       {L"&Herunterfahren", L"&Neu starten", L"Im &MS-DOS-Modus neu starten",
                        L"&Ja", L"&Nein", L"&Hilfe"}};

std::vector<std::wstring> ButtonTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (const auto& control : Controls(dialog)) {
        if (control.className == L"Button") {
            texts.push_back(control.text);
        }
    }
    return texts;
}

double MillisBetween(const LogLine& from, const LogLine& to) {
    return TicksToMillis(to.ticks - from.ticks);
}

class StandInTest : public testing::Test {
  protected:
    std::wstring folder_ = NewScratchFolder(L"standin");
};

// The dialog in each shape the "open" command promises, seen from outside: one in front
// before it is shown is already the foreground window when it is about to be shown (its
// "show" line); one on a second thread belongs to a thread other than the control
// window's. In each, the dialog manager acts on the access letters and the key log sees
// every key, whichever loop runs the dialog.
struct ShapeCase {
    const char* shape;
    const wchar_t* open;
    bool inFrontBeforeShown;
    bool ownThread;
    const Language* language;
    wchar_t letter;
    int option;
};

class StandInShape : public testing::TestWithParam<ShapeCase> {
  protected:
    std::wstring folder_ = NewScratchFolder(L"standin-shape");
};

TEST_P(StandInShape, OpensAsTheCommandSaysAndAltPlusALetterTypedSelectsThatOptionAndIsLogged) {
    const auto& param = GetParam();
    auto standIn =
        ShutdownStandIn::Start(folder_, {.german = param.language->german, .bystander = true});
    ASSERT_EQ(standIn.Command(param.open), 1);
    HWND dialog = standIn.WaitForActiveDialog();
    ASSERT_NE(dialog, nullptr) << standIn.Log().Text();
    ASSERT_TRUE(standIn.WaitForSelection(0)) << "the first option starts selected";
    // Written before the dialog became visible, so there by now.
    const auto show = standIn.Log().Lines("show");
    ASSERT_EQ(show.size(), 1U) << standIn.Log().Text();
    EXPECT_EQ(show.front().Field("foreground") == show.front().Field("hwnd"),
              param.inFrontBeforeShown)
        << standIn.Log().Text();
    HWND control = FindTopLevel(standin::kControlTitle, standIn.Proc().Pid());
    EXPECT_EQ(
        GetWindowThreadProcessId(dialog, nullptr) != GetWindowThreadProcessId(control, nullptr),
        param.ownThread);

    ASSERT_TRUE(TypeInto(dialog, {Alt(param.letter)}, kDefaultTimeout));

    EXPECT_TRUE(standIn.WaitForSelection(param.option)) << standIn.Log().Text();
    EXPECT_EQ(standIn.Command(L"selection"), param.option);
    const auto appearances = ReadAppearances(standIn);
    ASSERT_EQ(appearances.All().size(), 1U) << standIn.Log().Text();
    const auto letter = static_cast<char>(param.letter);
    EXPECT_EQ(appearances.All().front().AltDowns(letter), 1) << standIn.Log().Text();
    EXPECT_EQ(appearances.All().front().AltChars(letter), 1) << standIn.Log().Text();
    EXPECT_TRUE(IsWindow(dialog)) << "an option letter must not close the dialog";
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, StandInShape,
    testing::Values(ShapeCase{"Modeless", L"open", false, false, &kEnglish, L'R', 1},
                    ShapeCase{"Modal", L"open modal", false, false, &kEnglish, L'M', 2},
                    ShapeCase{"ModalInFrontBeforeShown", L"open modal foreground", true, false,
                              &kGerman, L'N', 1},
                    ShapeCase{"InFrontWhileHidden", L"open foreground hidden=300", true, false,
                              &kEnglish, L'R', 1},
                    ShapeCase{"OnASecondThread", L"open thread", false, true, &kGerman, L'M', 2},
                    ShapeCase{"OnASecondThreadModalInFrontBeforeShown",
                              L"open thread modal foreground", true, true, &kEnglish, L'M', 2}),
    [](const testing::TestParamInfo<ShapeCase>& tested) {
        return std::string(tested.param.shape) + "_" + tested.param.language->name + "_Alt" +
               static_cast<char>(tested.param.letter);
    });

class StandInLayout : public testing::TestWithParam<const Language*> {
  protected:
    std::wstring folder_ = NewScratchFolder(L"standin-layout");
};

TEST_P(StandInLayout, ShowsTheTitleOptionsAndButtonsOfTheSystemDialog) {
    const Language& language = *GetParam();
    auto standIn = ShutdownStandIn::Start(folder_, {.german = language.german});
    ASSERT_EQ(standIn.Command(L"open"), 1);
    HWND dialog = standIn.WaitForActiveDialog();
    ASSERT_NE(dialog, nullptr) << standIn.Log().Text();

    EXPECT_EQ(ClassName(dialog), L"#32770");
    EXPECT_EQ(ButtonTexts(dialog), language.captions);
    for (const auto& control : Controls(dialog)) {
        EXPECT_TRUE(control.visible && control.enabled) << ToUtf8(control.text);
        EXPECT_GE(control.rect.left, 0) << ToUtf8(control.text);
        EXPECT_GE(control.rect.top, 0) << ToUtf8(control.text);
    }
    const std::wstring picture = Screenshot(L"standin_shutdown_" + FromUtf8(language.name), dialog);
    if (!Env().screenshotDir.empty()) {
        EXPECT_FALSE(picture.empty()) << "the screenshot could not be written";
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, StandInLayout, testing::Values(&kEnglish, &kGerman),
                         [](const testing::TestParamInfo<const Language*>& tested) {
                             return std::string(tested.param->name);
                         });

TEST_F(StandInTest, OpenedWithoutActivationLeavesTheFocusAndTheKeysWithTheOtherWindow) {
    auto standIn = ShutdownStandIn::Start(folder_, {.bystander = true});
    HWND bystander = standIn.Bystander();
    ASSERT_EQ(standIn.Command(L"open noactivate"), 1);
    ASSERT_TRUE(
        standIn.Log().WaitFor([](const LogLine& l) { return l.event == "shown"; }).has_value());
    HWND dialog = standIn.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsForeground(bystander));

    ASSERT_TRUE(SendChords({Alt(L'R')}));

    // The keys are seen by the window in front; the dialog's selection stays.
    EXPECT_TRUE(standIn.Log()
                    .WaitFor([](const LogLine& l) {
                        return l.event == "key" && l.Field("msg") == "WM_SYSCHAR" &&
                               l.Field("top") == "Bystander";
                    })
                    .has_value())
        << standIn.Log().Text();
    EXPECT_TRUE(ReadAppearances(standIn).All().front().keys.empty()) << standIn.Log().Text();
    EXPECT_EQ(standIn.Command(L"selection"), 0);
}

TEST_F(StandInTest, DelayedOpeningCreatesTheDialogOnlyAfterTheDelay) {
    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open delay=300"), 1);
    EXPECT_EQ(standIn.Command(L"open"), 0) << "one dialog at a time";
    ASSERT_NE(standIn.WaitForActiveDialog(), nullptr) << standIn.Log().Text();

    const auto commands = standIn.Log().Lines("command");
    const auto created = standIn.Log().Lines("create");
    ASSERT_FALSE(commands.empty());
    ASSERT_EQ(created.size(), 1U);
    // A timer never fires early: the lower bound is exact.
    EXPECT_GE(MillisBetween(commands.front(), created.front()), 300.0);
}

TEST_F(StandInTest, HiddenOpeningMakesTheDialogFindableBeforeItIsShown) {
    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open hidden=2000"), 1);
    HWND dialog = standIn.Dialog();
    ASSERT_NE(dialog, nullptr) << "created at once, hidden";
    // Visibility first, then the log: the stand-in writes "show" before it shows the
    // dialog, so without that line the dialog was still hidden when looked at.
    const bool visibleEarly = IsWindowVisible(dialog) != FALSE;
    if (standIn.Log().Lines("show").empty()) {
        EXPECT_FALSE(visibleEarly);
    }
    EXPECT_EQ(standIn.WaitForActiveDialog(), dialog) << standIn.Log().Text();
    const auto shown = standIn.Log().WaitFor([](const LogLine& l) { return l.event == "shown"; });
    ASSERT_TRUE(shown.has_value()) << standIn.Log().Text();
    const auto created = standIn.Log().Lines("create");
    ASSERT_EQ(created.size(), 1U);
    EXPECT_GE(MillisBetween(created.front(), *shown), 2000.0);
}

TEST_F(StandInTest, CloseCommandAndTheYesButtonEachCloseTheDialog) {
    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open"), 1);
    ASSERT_NE(standIn.WaitForActiveDialog(), nullptr);
    EXPECT_EQ(standIn.Command(L"close"), 1);
    EXPECT_EQ(standIn.Dialog(), nullptr);
    EXPECT_EQ(standIn.Command(L"close"), 0);
    EXPECT_EQ(standIn.Command(L"selection"), -1);

    ASSERT_EQ(standIn.Command(L"open"), 1);
    HWND dialog = standIn.WaitForActiveDialog();
    ASSERT_NE(dialog, nullptr);
    const auto yes = FindControl(dialog, L"&Yes");
    ASSERT_TRUE(yes.has_value());
    PressButton(yes->handle);
    EXPECT_TRUE(WaitUntil([&] { return standIn.Dialog() == nullptr; }));
    EXPECT_TRUE(
        standIn.Log()
            .WaitFor([](const LogLine& l) { return l.event == "close" && l.Field("by") == "yes"; })
            .has_value())
        << standIn.Log().Text();
}

TEST_F(StandInTest, TheFocusThiefTakesTheForegroundAndTheKeysThatFollow) {
    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open thief=0"), 1);
    ASSERT_TRUE(WaitUntil([&] { return IsForeground(standIn.Thief()); })) << standIn.Log().Text();
    HWND dialog = standIn.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));

    ASSERT_TRUE(SendChords({Alt(L'R')}));

    EXPECT_TRUE(standIn.Log()
                    .WaitFor([](const LogLine& l) {
                        return l.event == "key" && l.Field("msg") == "WM_SYSCHAR" &&
                               l.Field("top") == "Focus Thief";
                    })
                    .has_value())
        << standIn.Log().Text();
    EXPECT_EQ(standIn.Command(L"selection"), 0);
}

TEST_F(StandInTest, StealCommandTakesTheForegroundFromTheDialog) {
    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open"), 1);
    ASSERT_NE(standIn.WaitForActiveDialog(), nullptr);
    EXPECT_EQ(standIn.Command(L"steal delay=100"), 1);
    EXPECT_TRUE(WaitUntil([&] { return IsForeground(standIn.Thief()); })) << standIn.Log().Text();
    for (const wchar_t* unknown : {L"bogus", L"open bogus", L"open modal hidden=100",
                                   L"open modal noactivate", L"open foreground noactivate"}) {
        EXPECT_EQ(standIn.Command(unknown), standin::kUnknownCommand) << ToUtf8(unknown);
    }
}

}  // namespace
}  // namespace e2e
