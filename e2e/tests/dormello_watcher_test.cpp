// The preselector's watcher under Wine, against the shutdown stand-in: the dialog in each
// shape real dialogs take gets Alt plus the key once, or, when it comes to the front too
// late, nothing; nothing is typed into any other window; a hidden preselector answers too.
#include <gtest/gtest.h>
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "e2e/driver/busy_desktop.h"
#include "e2e/driver/dialog_appearances.h"
#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/event_log.h"
#include "e2e/driver/keys.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"
#include "e2e/tests/case_name.h"

namespace e2e {
namespace {

// How long the desktop is left as it is, the dialog open, before the stand-in's Focus
// Thief takes the foreground: the preselector looks at the desktop many times in that
// span, and a second key would arrive in it.
constexpr Millis kWatchAWhile{750};

std::vector<HWND> VisibleTopLevelWindows(DWORD pid) {
    std::vector<HWND> visible;
    for (HWND window : TopLevelWindows(pid)) {
        if (IsWindowVisible(window)) {
            visible.push_back(window);
        }
    }
    return visible;
}

// The one appearance of the dialog in the stand-in's log got Alt plus `key` once, or not
// at all, and ended with `selection`; no key reached any other window, nor the dialog
// while it was not the active window.
void ExpectOneAppearance(const ShutdownStandIn& standIn, char key, bool answered, int selection) {
    const auto appearances = ReadAppearances(standIn);
    ASSERT_EQ(appearances.All().size(), 1U) << standIn.Log().Text();
    const Appearance& dialog = appearances.All().front();
    // The character is what the dialog manager acts on; for an upper-case key it is all
    // that is delivered.
    EXPECT_EQ(dialog.AltChars(key), answered ? 1 : 0) << RawText(dialog.keys);
    EXPECT_EQ(dialog.closedWith, selection) << standIn.Log().Text();
    EXPECT_TRUE(dialog.keysWhileInactive.empty()) << RawText(dialog.keysWhileInactive);
    EXPECT_TRUE(appearances.StrayKeys().empty()) << RawText(appearances.StrayKeys());
}

class DormelloWatcherTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(DormelloMissing(), ""); }

    std::wstring folder_ = NewScratchFolder(L"watcher");
};

// ---- Each shape the dialog takes -----------------------------------------------------

// Who brings the dialog to the front, and when.
enum class Front {
    kByItself,
    // The test, with SetForegroundWindow (not input: the watcher must not see any), about
    // as soon as the dialog is shown; or only seconds later.
    kByTheTestAtOnce,
    kByTheTestLate,
};

struct ShapeCase {
    const char* name;
    const wchar_t* open;  // the stand-in's command (e2e/standin/shutdown/protocol.h)
    Front front;
    // Whether the watcher answers: only a dialog shown and in front within a second of the
    // watcher first seeing it shown, with no input since, is answered.
    bool answered;
    bool german = false;
    char key = 'R';  // the access letter of Restart in the dialog's language
    // Restart's access character is '!', which the keyboard types only with Shift.
    bool symbols = false;
};

class DormelloAnswersEachShape : public DormelloWatcherTest,
                                 public testing::WithParamInterface<ShapeCase> {};

// The Bystander holds the foreground (and the keyboard focus) when the dialog opens.
TEST_P(DormelloAnswersEachShape, OnceWithAltAndItsKeySoRestartEndsUpSelectedOrNotAtAll) {
    const ShapeCase& row = GetParam();
    Process dormello = StartDormelloUntilIdle(std::wstring(1, row.key), folder_);
    auto standIn = ShutdownStandIn::Start(
        folder_, {.german = row.german, .symbols = row.symbols, .bystander = true});
    const EventLog& log = standIn.Log();

    ASSERT_EQ(standIn.Command(row.open), 1);
    if (row.front != Front::kByItself) {
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            dialog = standIn.Dialog();
            return IsWindowVisible(dialog) != FALSE;
        })) << log.Text();
        EXPECT_TRUE(IsForeground(standIn.Bystander()));
        if (row.front == Front::kByTheTestLate) {
            ASSERT_TRUE(standIn.StealAfter(Millis{3000})) << log.Text();
        }
        ASSERT_TRUE(BringToForeground(dialog, kDefaultTimeout));
    }
    // Not asserted: where the keys went instead says more.
    if (row.answered) {
        EXPECT_TRUE(standIn.WaitForSelection(kRestart)) << log.Text();
    }
    ASSERT_TRUE(standIn.StealAfter(kWatchAWhile)) << log.Text();
    ASSERT_EQ(standIn.Command(L"close"), 1);

    ExpectOneAppearance(standIn, row.key, row.answered, row.answered ? kRestart : 0);
    if (row.front == Front::kByTheTestAtOnce) {
        // The row's premise: the test brought the dialog forward within the watcher's
        // second. A slower test says nothing about the watcher.
        const Appearance& dialog = ReadAppearances(standIn).All().front();
        ASSERT_TRUE(dialog.shownAt && dialog.activatedAt) << log.Text();
        EXPECT_LT(TicksToMillis(*dialog.activatedAt - *dialog.shownAt), 1000.0) << log.Text();
    }
    EXPECT_TRUE(dormello.Running());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DormelloAnswersEachShape,
    testing::Values(
        ShapeCase{"Modeless", L"open", Front::kByItself, true},
        ShapeCase{"ModelessInGerman", L"open", Front::kByItself, true, true, 'N'},
        ShapeCase{"ModelessWithAnAccessKeyThatNeedsShift", L"open", Front::kByItself, true, false,
                  '!', true},
        ShapeCase{"Modal", L"open modal", Front::kByItself, true},
        // In front while its initialisation takes 300 ms: without that, whether keys come
        // before it is shown is a race (AModalDialogInFrontBeforeItIsShown... measures it).
        ShapeCase{"ModalInFrontBeforeShown", L"open modal foreground busy=300", Front::kByItself,
                  true},
        ShapeCase{"InFrontWhileHidden", L"open foreground hidden=500", Front::kByItself, true},
        ShapeCase{"OnASecondThread", L"open thread", Front::kByItself, true},
        ShapeCase{"OnASecondThreadModalInFrontBeforeShown",
                  L"open thread modal foreground busy=300", Front::kByItself, true},
        ShapeCase{"TitledAfterItOpened", L"open titled=500", Front::kByItself, true},
        // In front under another title for longer than a dialog's first second.
        ShapeCase{"TitledWhileInFrontLate", L"open titled=1500", Front::kByItself, true},
        ShapeCase{"ShownBehindAndBroughtForwardByItsProgramWithinItsFirstMoments",
                  L"open forward=600", Front::kByItself, true},
        ShapeCase{"FoundHiddenAndShownLater", L"open hidden=1500", Front::kByItself, true},
        ShapeCase{"ShownBehindThenBroughtToTheFrontAtOnce", L"open noactivate",
                  Front::kByTheTestAtOnce, true},
        ShapeCase{"ShownBehindAndBroughtToTheFrontLate", L"open noactivate", Front::kByTheTestLate,
                  false}),
    CaseName);

// The user opens the shutdown dialog while the options dialog is up and picks Restart in
// it, cancels the options dialog (the front goes back to the main window), then clicks
// the shutdown dialog's title bar: the preselector's key must not overrule that choice
// now. A dialog that opens in front afterwards still gets its key at once.
TEST_F(DormelloWatcherTest, ADialogReachedLateGetsNothingAndOneOpenedInFrontStillGetsItsKey) {
    Process dormello = StartDormelloUntilIdle(L"M,false", folder_);  // MS-DOS mode
    HWND main = WaitForMainWindow(dormello);
    ASSERT_NE(main, nullptr) << Describe(dormello);
    auto standIn = ShutdownStandIn::Start(folder_);
    const auto changeOptions = FindControl(main, kChangeOptions);
    ASSERT_TRUE(changeOptions.has_value());
    PressButton(changeOptions->handle);
    HWND options = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        options = OptionsDialogOf(dormello);
        return options != nullptr && IsForeground(options);
    }));

    ASSERT_EQ(standIn.Command(L"open"), 1);
    HWND dialog = standIn.WaitForActiveDialog();
    ASSERT_NE(dialog, nullptr) << standIn.Log().Text();
    ASSERT_TRUE(TypeInto(dialog, {Alt(L'R')}, kDefaultTimeout));
    ASSERT_TRUE(standIn.WaitForSelection(kRestart)) << standIn.Log().Text();
    ASSERT_TRUE(TypeInto(options, {Key(VK_ESCAPE)}, kDefaultTimeout));
    ASSERT_TRUE(WaitUntil([&] { return IsForeground(main); }))
        << "the front did not go back to the main window";
    ASSERT_TRUE(ClickTitleBar(dialog));
    ASSERT_TRUE(WaitUntil([&] { return IsForeground(dialog); }))
        << "in front: " << DescribeWindow(GetForegroundWindow()) << "\n"
        << standIn.Log().Text();
    ASSERT_TRUE(standIn.StealAfter(kWatchAWhile)) << standIn.Log().Text();
    ASSERT_EQ(standIn.Command(L"close"), 1);

    ASSERT_EQ(standIn.Command(L"open"), 1);
    EXPECT_TRUE(standIn.WaitForSelection(kMsDos)) << standIn.Log().Text();
    ASSERT_TRUE(standIn.StealAfter(kWatchAWhile)) << standIn.Log().Text();
    ASSERT_EQ(standIn.Command(L"close"), 1);

    const auto appearances = ReadAppearances(standIn);
    ASSERT_EQ(appearances.All().size(), 2U) << standIn.Log().Text();
    const Appearance& late = appearances.All()[0];
    const Appearance& inFront = appearances.All()[1];
    EXPECT_EQ(late.AltChars('M'), 0) << RawText(late.keys);
    EXPECT_EQ(late.closedWith, kRestart) << standIn.Log().Text();
    // The click held: nothing of the preselector's took the front back from the dialog.
    EXPECT_EQ(standIn.Log().Lines("steal").front().Field("from"), late.hwnd)
        << standIn.Log().Text();
    EXPECT_EQ(inFront.AltChars('M'), 1) << RawText(inFront.keys);
    const LogLine* key = inFront.FirstKeyAfterShown('M');
    ASSERT_TRUE(key != nullptr && inFront.shownAt) << RawText(inFront.keys);
    const double ms = TicksToMillis(key->ticks - *inFront.shownAt);
    std::cout << "[  MEASURE ] a dialog opened in front got its key " << ms
              << " ms after it was shown\n";
    RecordProperty("shown_to_key_ms", std::to_string(ms));
    EXPECT_TRUE(dormello.Running());
}

// A modal dialog with DS_SETFOREGROUND takes the front while it is created, and its modal
// loop shows it only when its queue first goes idle: keys that arrive in between find no
// visible control to select. Twenty openings of 600 ms each, all must be answered.
TEST_F(DormelloWatcherTest, AModalDialogInFrontBeforeItIsShownIsAnsweredEveryTime) {
    constexpr int kOpenings = 20;
    Process dormello = StartDormelloUntilIdle(L"R", folder_);
    auto standIn = ShutdownStandIn::Start(folder_);
    for (int opening = 1; opening <= kOpenings; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        ASSERT_EQ(standIn.Command(L"open modal foreground"), 1);
        ASSERT_TRUE(standIn.StealAfter(Millis{600})) << standIn.Log().Text();
        ASSERT_EQ(standIn.Command(L"close"), 1);
    }
    const auto appearances = ReadAppearances(standIn);
    ASSERT_EQ(appearances.All().size(), static_cast<size_t>(kOpenings)) << standIn.Log().Text();
    int answered = 0;
    for (const Appearance& dialog : appearances.All()) {
        answered += dialog.closedWith == kRestart ? 1 : 0;
        EXPECT_LE(dialog.AltChars('R'), 1) << RawText(dialog.keys);
    }
    std::cout << "[  MEASURE ] answered " << answered << " of " << kOpenings << "\n";
    RecordProperty("answered", answered);
    EXPECT_EQ(answered, kOpenings);
    EXPECT_TRUE(appearances.StrayKeys().empty()) << RawText(appearances.StrayKeys());
    EXPECT_TRUE(dormello.Running());
}

// A desktop of a thousand windows, one destroyed and made anew some 285 times a second:
// the dialog is answered as at once as on an empty one, and only once.
TEST_F(DormelloWatcherTest, AmongAThousandWindowsMadeFastTheDialogIsAnsweredAtOnce) {
    Process desktop = StartBusyDesktop(1000, 285, folder_);
    Process dormello = StartDormelloUntilIdle(L"R,TRUE", folder_);
    auto standIn = ShutdownStandIn::Start(folder_);
    for (const wchar_t* open : {L"open", L"open forward=600"}) {
        SCOPED_TRACE(ToUtf8(open));
        ASSERT_EQ(standIn.Command(open), 1);
        EXPECT_TRUE(standIn.WaitForSelection(kRestart)) << standIn.Log().Text();
        ASSERT_TRUE(standIn.StealAfter(kWatchAWhile)) << standIn.Log().Text();
        ASSERT_EQ(standIn.Command(L"close"), 1);
    }
    const auto appearances = ReadAppearances(standIn);
    ASSERT_EQ(appearances.All().size(), 2U) << standIn.Log().Text();
    for (const Appearance& dialog : appearances.All()) {
        EXPECT_EQ(dialog.AltChars('R'), 1) << RawText(dialog.keys);
        EXPECT_TRUE(dialog.keysWhileInactive.empty()) << RawText(dialog.keysWhileInactive);
    }
    const Appearance& first = appearances.All().front();
    const LogLine* key = first.FirstKeyAfterShown('R');
    ASSERT_TRUE(key != nullptr && first.shownAt) << RawText(first.keys);
    std::cout << "[  MEASURE ] among 1000 churning windows the key came "
              << TicksToMillis(key->ticks - *first.shownAt) << " ms after the dialog was shown\n";
    EXPECT_TRUE(desktop.Running());
    EXPECT_TRUE(dormello.Running());
}

// ---- Which window counts as the dialog -----------------------------------------------

// The preselector, started hidden, shows no window all along and answers all the same.
TEST_F(DormelloWatcherTest, WithBothTitlesOpenTheEnglishDialogIsTheOneAnswered) {
    auto german = ShutdownStandIn::Start(NewScratchFolder(L"watcher-german"), {.german = true});
    auto english = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(german.Command(L"open"), 1);
    ASSERT_NE(german.WaitForActiveDialog(), nullptr) << german.Log().Text();
    ASSERT_EQ(english.Command(L"open"), 1);
    ASSERT_NE(english.WaitForActiveDialog(), nullptr) << english.Log().Text();
    // Hidden, so the preselector's own window does not take the front from the dialog.
    Process dormello = StartDormelloUntilIdle(L"R,TRUE", folder_);
    ASSERT_FALSE(TopLevelWindows(dormello.Pid()).empty());
    EXPECT_TRUE(VisibleTopLevelWindows(dormello.Pid()).empty());

    ASSERT_TRUE(english.WaitForSelection(kRestart)) << english.Log().Text();
    ASSERT_TRUE(english.StealAfter(kWatchAWhile)) << english.Log().Text();
    // The German dialog goes first: once it were alone it would be a dialog to answer.
    ASSERT_EQ(german.Command(L"close"), 1);
    ASSERT_EQ(english.Command(L"close"), 1);

    EXPECT_TRUE(german.Log().Lines("key").empty()) << german.Log().Text();
    ExpectOneAppearance(english, 'R', true, kRestart);
    const auto visible = VisibleTopLevelWindows(dormello.Pid());
    EXPECT_TRUE(visible.empty()) << "visible: \"" << ToUtf8(WindowText(visible.front())) << "\"";
}

}  // namespace
}  // namespace e2e
