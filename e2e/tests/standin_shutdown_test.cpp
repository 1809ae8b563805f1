// The shutdown stand-in does what the preselector's tests rely on: its dialog is a real
// dialog whose access letters select options, it reports every key and selection, and
// its commands open, hide and disturb the dialog as asked.
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
#include "e2e/tests/case_name.h"

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

class StandInTest : public testing::Test {
  protected:
    std::wstring folder_ = NewScratchFolder(L"standin");
};

// The dialog in each shape the "open" command promises, seen from outside: the system
// dialog's class, options and buttons in its language; one in front before it is shown
// is already the foreground window when it is about to be shown (its "show" line); one
// on a second thread belongs to a thread other than the control window's. In each, the
// dialog manager acts on the access letters and the key log sees every key, whichever
// loop runs the dialog.
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
    EXPECT_EQ(ClassName(dialog), L"#32770");
    EXPECT_EQ(ButtonTexts(dialog), param.language->captions);
    for (const auto& control : Controls(dialog)) {
        EXPECT_TRUE(control.visible && control.enabled) << ToUtf8(control.text);
        EXPECT_GE(control.rect.left, 0) << ToUtf8(control.text);
        EXPECT_GE(control.rect.top, 0) << ToUtf8(control.text);
    }
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

// Keys typed while another window of the stand-in is in front are logged as that
// window's, and the dialog's selection stays: "no key reached another window" counts on it.
struct ElsewhereCase {
    const char* name;
    const wchar_t* open;
    const wchar_t* then;  // a second command, or nullptr
    const wchar_t* front;
};

class StandInKeysElsewhere : public testing::TestWithParam<ElsewhereCase> {
  protected:
    std::wstring folder_ = NewScratchFolder(L"standin-elsewhere");
};

TEST_P(StandInKeysElsewhere, AreLoggedAsTheFrontWindowsAndLeaveTheSelection) {
    const ElsewhereCase& param = GetParam();
    auto standIn = ShutdownStandIn::Start(folder_, {.bystander = true});
    ASSERT_EQ(standIn.Command(param.open), 1);
    ASSERT_TRUE(
        standIn.Log().WaitFor([](const LogLine& l) { return l.event == "shown"; }).has_value());
    if (param.then != nullptr) {
        ASSERT_EQ(standIn.Command(param.then), 1);
    }
    // The Focus Thief is shown when it steals.
    ASSERT_TRUE(WaitUntil([&] {
        return IsForeground(FindTopLevel(param.front, standIn.Proc().Pid(), true));
    })) << standIn.Log().Text();
    EXPECT_TRUE(IsWindowVisible(standIn.Dialog()));

    ASSERT_TRUE(SendChords({Alt(L'R')}));

    const std::string title = ToUtf8(param.front);
    EXPECT_TRUE(standIn.Log()
                    .WaitFor([&](const LogLine& l) {
                        return l.event == "key" && l.Field("msg") == "WM_SYSCHAR" &&
                               l.Field("top") == title;
                    })
                    .has_value())
        << standIn.Log().Text();
    EXPECT_TRUE(ReadAppearances(standIn).All().front().keys.empty()) << standIn.Log().Text();
    EXPECT_EQ(standIn.Command(L"selection"), 0);
}

INSTANTIATE_TEST_SUITE_P(Windows, StandInKeysElsewhere,
                         testing::Values(ElsewhereCase{"OpenedWithoutActivation",
                                                       L"open noactivate", nullptr,
                                                       standin::kBystanderTitle},
                                         ElsewhereCase{"FocusThiefAsItShows", L"open thief=0",
                                                       nullptr, standin::kThiefTitle},
                                         ElsewhereCase{"StealCommand", L"open", L"steal delay=100",
                                                       standin::kThiefTitle}),
                         CaseName);

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
    EXPECT_GE(TicksToMillis(shown->ticks - created.front().ticks), 2000.0);
}

TEST_F(StandInTest, RefusesWordsItDoesNotKnowAndShapesThatDoNotCombine) {
    auto standIn = ShutdownStandIn::Start(folder_);
    for (const wchar_t* unknown : {L"bogus", L"open bogus", L"open modal hidden=100",
                                   L"open modal noactivate", L"open foreground noactivate"}) {
        EXPECT_EQ(standIn.Command(unknown), standin::kUnknownCommand) << ToUtf8(unknown);
    }
}

}  // namespace
}  // namespace e2e
