// The watcher: Alt plus the key, once per appearance of the shutdown dialog, and only
// into the dialog.
#include "preselector/frm_dormello.h"
#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using desktop::Millis;
using preselector::Preselector;

constexpr std::u16string_view kEnglish = u"Shut Down Windows";
constexpr std::u16string_view kGerman = u"Windows beenden";

class WatcherTest : public SimTest {
  protected:
    WatcherTest() { desktop.SetCommandLine(u"R"); }

    // Runs the preselector until the script is done.
    void RunPreselector() {
        EXPECT_FALSE(desktop.Run([&] { app.StartUp(); }));
        EXPECT_TRUE(desktop.ScriptDone());
    }
    void OpenAndClose(std::u16string_view title, int times) {
        for (int i = 0; i < times; ++i) {
            desktop.Then(sim::OpenWindow(std::u16string(title)).After(40ms))
                .Then(sim::Idle(300ms))
                .Then(sim::CloseWindow(std::u16string(title)).After(20ms));
        }
    }
    std::u16string Keys(std::u16string_view window) const { return desktop.KeysReceivedBy(window); }

    Preselector app{desktop};
};

TEST_F(WatcherTest, EachOpeningGetsAltKeyOnce) {
    for (auto title : {kEnglish, kGerman}) {
        SCOPED_TRACE(common::ToUtf8(title));
        OpenAndClose(title, 3);
    }
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R%R%R");
    EXPECT_EQ(Keys(kGerman), u"%R%R%R");
    EXPECT_EQ(desktop.Typed().size(), 6u);
}

TEST_F(WatcherTest, NoMoreKeysHoweverLongTheDialogStaysOpen) {
    desktop.Then(sim::OpenWindow(std::u16string(kEnglish)))
        .Then(sim::Idle(10min))
        .Then(sim::FocusWindow(u"Shut Down Windows").After(1s));  // focus changes nothing
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R");
    // It waited rather than spun: about one re-check per quarter second.
    EXPECT_LE(desktop.Waits(), 10 * 60 * 4 + 20);
}

TEST_F(WatcherTest, DialogReopenedBeforeTheWatcherSawItCloseIsANewAppearance) {
    desktop.Then(sim::OpenWindow(std::u16string(kEnglish)));
    for (int i = 0; i < 3; ++i) {
        desktop.Then({"close and reopen at once", [](auto& d) {
                          d.Close(u"Shut Down Windows");
                          d.Open(u"Shut Down Windows");
                      }});
    }
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R%R%R%R");
}

TEST_F(WatcherTest, EnglishWinsWhenBothTitlesExistAndIsTheOneWaitedOn) {
    desktop
        .Then({"open both",
               [](auto& d) {
                   d.Open(u"Windows beenden", false);
                   d.Open(u"Shut Down Windows");
               }})
        .Then(Check([&](auto&) { EXPECT_EQ(app.g.FoundTitle, kEnglish); }))
        .Then(sim::CloseWindow(std::u16string(kEnglish)))
        // The German one never takes the focus, so it never gets a key.
        .Then(Check([&](auto&) { EXPECT_EQ(app.g.FoundTitle, kGerman); }))
        .Then(sim::CloseWindow(std::u16string(kGerman)));
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R");
    EXPECT_EQ(Keys(kGerman), u"");
    EXPECT_EQ(desktop.Typed().size(), 1u);
}

TEST_F(WatcherTest, KeyChangedWhileRunningIsSentNextTime) {
    OpenAndClose(kEnglish, 1);
    desktop.Then(Check([&](auto&) { app.g.ShortcutKey = u"S"; }));
    OpenAndClose(kEnglish, 1);
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R%S");
}

TEST_F(WatcherTest, EmptyKeyTypesNothingButWaitsTheDialogOut) {
    desktop.Then(Check([&](auto&) { app.g.ShortcutKey.clear(); }))
        .Then(sim::OpenWindow(std::u16string(kEnglish)))
        // Set while that dialog is still open: it must not be typed into this one.
        .Then(Check([&](auto&) { app.g.ShortcutKey = u"S"; }))
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(std::u16string(kEnglish)));
    OpenAndClose(kEnglish, 1);
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%S");
    EXPECT_EQ(desktop.Typed().size(), 1u);
}

// A dialog gets its key only in its first moments on screen, and only while the user has
// not touched mouse or keyboard since it could first have been seen: a later key could
// overrule a choice the user has already made in it.
struct ShapeCase {
    const char* name;
    std::vector<sim::Step> steps;  // after "Notepad" has the front
    bool answered;
};

void PrintTo(const ShapeCase& c, std::ostream* out) { *out << c.name; }

class DialogShapeTest : public WatcherTest, public ::testing::WithParamInterface<ShapeCase> {
  protected:
    void ExpectAnsweredOnlyInFront();
};

// The same on a Windows whose 32-bit tick count wraps 150 ms into the run, in the
// dialog's first moments: they, and every wait, last as long across the wrap.
class DialogShapeAcrossTheClockWrapTest : public DialogShapeTest {
  protected:
    DialogShapeAcrossTheClockWrapTest() { desktop.ReadTicksFrom(0xFFFFFFFFu - 150); }
};

// The same where only window creation is reported, as under Wine.
class DialogShapeOnCreationReportsTest : public DialogShapeTest {
  protected:
    DialogShapeOnCreationReportsTest() { desktop.ReportCreationOnly(); }
};

TEST_P(DialogShapeTest, AnsweredOnlyInFront) { ExpectAnsweredOnlyInFront(); }
TEST_P(DialogShapeAcrossTheClockWrapTest, AnsweredOnlyInFront) { ExpectAnsweredOnlyInFront(); }
TEST_P(DialogShapeOnCreationReportsTest, AnsweredOnlyInFront) { ExpectAnsweredOnlyInFront(); }

void DialogShapeTest::ExpectAnsweredOnlyInFront() {
    desktop.Then(sim::OpenWindow(u"Notepad"));
    for (const auto& step : GetParam().steps) desktop.Then(step);
    desktop.Then(sim::Idle(1s)).Then(sim::CloseWindow(std::u16string(kEnglish)));
    RunPreselector();
    EXPECT_EQ(Keys(u"Notepad"), u"");
    EXPECT_EQ(Keys(kEnglish), GetParam().answered ? u"%R" : u"");
    // Never into a dialog that was not shown and in front.
    for (const auto& typed : desktop.Typed()) EXPECT_EQ(typed.window, kEnglish);
}

const std::u16string kDialog(kEnglish);

const ShapeCase kShapes[] = {
    ShapeCase{"shown_in_front", {sim::OpenWindow(kDialog)}, true},
    ShapeCase{"in_front_before_it_is_shown",
              {sim::OpenHiddenWindow(kDialog, true), sim::ShowWindow(kDialog).After(50ms)},
              true},
    ShapeCase{"hidden_for_a_while_then_shown_in_front",
              {sim::OpenHiddenWindow(kDialog), sim::ShowWindow(kDialog).After(3s)},
              true},
    ShapeCase{"brought_to_the_front_soon",
              {sim::OpenWindow(kDialog, false), sim::FocusWindow(kDialog).After(300ms)},
              true},
    ShapeCase{"titled_while_in_front",
              {sim::OpenWindow(u"Untitled"), sim::RenameWindow(u"Untitled", kDialog).After(300ms)},
              true},
    // Its title was last read up to two seconds before the rename, and the user may have
    // chosen in it since then.
    ShapeCase{"renamed_behind_unreported_then_brought_to_the_front",
              {sim::OpenWindow(u"Untitled", false), sim::Idle(3s),
               sim::RenameWindow(u"Untitled", kDialog).Unreported(),
               sim::FocusWindow(kDialog).After(1500ms)},
              false},
    ShapeCase{"brought_to_the_front_late",
              {sim::OpenWindow(kDialog, false), sim::FocusWindow(kDialog).After(2s)},
              false},
    ShapeCase{"clicked_to_the_front_by_the_user",
              {sim::OpenWindow(kDialog, false), sim::ClickWindow(kDialog).After(300ms)},
              false},
    ShapeCase{"typed_into_elsewhere_before_it_came_to_the_front",
              {sim::OpenWindow(kDialog, false), sim::ClickWindow(u"Notepad").After(100ms),
               sim::FocusWindow(kDialog).After(100ms)},
              false}};

const auto kShapeName = [](const auto& tested) { return std::string(tested.param.name); };
INSTANTIATE_TEST_SUITE_P(Shapes, DialogShapeTest, ::testing::ValuesIn(kShapes), kShapeName);
INSTANTIATE_TEST_SUITE_P(Shapes, DialogShapeAcrossTheClockWrapTest, ::testing::ValuesIn(kShapes),
                         kShapeName);
INSTANTIATE_TEST_SUITE_P(Shapes, DialogShapeOnCreationReportsTest, ::testing::ValuesIn(kShapes),
                         kShapeName);

TEST_F(WatcherTest, DialogGoneBeforeTakingTheFocusGetsNothing) {
    desktop.Then(sim::OpenWindow(u"Notepad"))
        .Then(sim::OpenWindow(std::u16string(kEnglish), /*takeFocus=*/false))
        .Then(sim::CloseWindow(std::u16string(kEnglish)).After(500ms));
    OpenAndClose(kEnglish, 1);
    RunPreselector();
    EXPECT_EQ(Keys(u"Notepad"), u"");
    EXPECT_EQ(Keys(kEnglish), u"%R");
    EXPECT_EQ(desktop.Typed().size(), 1u);
}

// No event says when a dialog takes the focus (Wine reports window creation alone), so
// the watcher looks on its own: every few milliseconds while the dialog is new, when it
// usually takes the focus, then less and less often.
struct UnreportedFocusCase {
    Millis focusAfter;      // from the dialog's creation
    Millis answeredWithin;  // from the focus; 0 = never answered
};

void PrintTo(const UnreportedFocusCase& c, std::ostream* out) {
    *out << "focus after " << c.focusAfter.count() << " ms";
}

class UnreportedFocusTest : public WatcherTest,
                            public ::testing::WithParamInterface<UnreportedFocusCase> {
  protected:
    void ExpectNoticedSoonAfter();
};

// The 32-bit tick count wraps 100 ms after the dialog's creation.
class UnreportedFocusAcrossTheClockWrapTest : public UnreportedFocusTest {
  protected:
    UnreportedFocusAcrossTheClockWrapTest() { desktop.ReadTicksFrom(0xFFFFFFFFu - 100); }
};

TEST_P(UnreportedFocusTest, IsNoticedSoonAfter) { ExpectNoticedSoonAfter(); }
TEST_P(UnreportedFocusAcrossTheClockWrapTest, IsNoticedSoonAfter) { ExpectNoticedSoonAfter(); }

void UnreportedFocusTest::ExpectNoticedSoonAfter() {
    const auto [focusAfter, within] = GetParam();
    Millis createdAt{-1};
    desktop.Then(sim::OpenWindow(u"Notepad"))
        .Then(sim::OpenWindow(std::u16string(kEnglish), /*takeFocus=*/false))
        .Then(Check([&](auto& d) { createdAt = d.Clock(); }))
        .Then(sim::FocusWindow(std::u16string(kEnglish)).After(focusAfter).Unreported())
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(std::u16string(kEnglish)));
    RunPreselector();
    if (within == Millis{0}) {
        EXPECT_EQ(desktop.Typed().size(), 0u);
        // Given up once too late: from then on it looks four times a second, not closely.
        EXPECT_LE(desktop.Waits(), 10 * 60 * 4 + 300);
        return;
    }
    ASSERT_EQ(desktop.Typed().size(), 1u);
    const Millis focusedAt = createdAt + focusAfter;
    EXPECT_GE(desktop.Typed()[0].at, focusedAt);
    EXPECT_LE(desktop.Typed()[0].at, focusedAt + within);
}

const UnreportedFocusCase kDelays[] = {{1ms, 2ms},    {37ms, 2ms},   {200ms, 2ms},
                                       {600ms, 10ms}, {990ms, 10ms}, {10min, 0ms}};
INSTANTIATE_TEST_SUITE_P(Delays, UnreportedFocusTest, ::testing::ValuesIn(kDelays));
INSTANTIATE_TEST_SUITE_P(Delays, UnreportedFocusAcrossTheClockWrapTest,
                         ::testing::ValuesIn(kDelays));

// While a window of the preselector is up modally, the watcher does not look. A dialog
// that opened meanwhile may have been chosen in already, and closing the modal window
// hands the front back to the main window: that appearance is left alone, even when the
// user brings it forward afterwards.
struct ModalCase {
    const char* name;
    std::vector<sim::Step> open;   // puts a modal window of the preselector up
    std::vector<sim::Step> close;  // takes it down again
    // The dialog opens under another title and takes its own, unreported, meanwhile.
    bool titledMeanwhile = false;
};

void PrintTo(const ModalCase& c, std::ostream* out) { *out << c.name; }

class ModalWindowTest : public WatcherTest, public ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalWindowTest, DialogThatOpenedMeanwhileIsLeftAlone) {
    for (const auto& step : GetParam().open) desktop.Then(step);
    if (GetParam().titledMeanwhile) {
        desktop.Then(sim::OpenWindow(u"Untitled").After(100ms))
            .Then(sim::RenameWindow(u"Untitled", kDialog).After(50ms).Unreported());
    } else {
        desktop.Then(sim::OpenWindow(kDialog).After(100ms));
    }
    desktop.Then(sim::ClickWindow(kDialog).After(300ms));  // the user picks another option
    for (auto step : GetParam().close) desktop.Then(std::move(step).After(300ms));
    desktop
        .Then(Check([](auto& d) { EXPECT_EQ(d.ForegroundTitle(), u"frmDormello"); }))
        // Under Wine the front can go straight back to the dialog as the modal window
        // closes, well inside the dialog's first second: being in front proves nothing.
        .Then(sim::FocusWindow(kDialog).After(10ms))
        .Then(sim::ClickWindow(kDialog).After(2s))
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(kDialog));
    OpenAndClose(kEnglish, 1);  // the next appearance is answered again
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R");
    EXPECT_EQ(desktop.Typed().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ModalWindowTest,
    ::testing::Values(ModalCase{"exit_question",
                                {sim::Click("frmDormello", "cmdExit")},
                                {sim::Answer(desktop::kAnswerNo)}},
                      ModalCase{"options_dialog",
                                {sim::Click("frmDormello", "cmdChangeOptions")},
                                {sim::Click("frmDormellos", "cmdCancel")}},
                      ModalCase{"options_dialog_and_the_dialog_titled_meanwhile",
                                {sim::Click("frmDormello", "cmdChangeOptions")},
                                {sim::Click("frmDormellos", "cmdCancel")},
                                true}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Where nothing reports windows made (95), the first look after a modal window of ours
// looks over the whole desktop, so a dialog that comes just after is told from one that
// came meanwhile, and answered.
TEST_F(WatcherTest, DialogUnreportedJustAfterTheOptionsDialogIsAnswered) {
    desktop.Then(sim::Click("frmDormello", "cmdChangeOptions").After(100ms))
        .Then(sim::Click("frmDormellos", "cmdCancel").After(100ms))
        .Then(sim::OpenWindow(std::u16string(kEnglish)).After(20ms).Unreported())
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(std::u16string(kEnglish)));
    RunPreselector();
    EXPECT_EQ(Keys(kEnglish), u"%R");
}

TEST_F(WatcherTest, DialogClosedWhileTheOptionsDialogIsUpIsNotAnswered) {
    desktop.Then(sim::Click("frmDormello", "cmdChangeOptions"))
        .Then(sim::OpenWindow(std::u16string(kEnglish)))
        .Then(sim::CloseWindow(std::u16string(kEnglish)).After(1s))
        .Then(sim::Click("frmDormellos", "cmdCancel"))
        .Then(sim::Idle(1s));
    RunPreselector();
    EXPECT_EQ(desktop.Typed().size(), 0u);
}

TEST_F(WatcherTest, RepeatedActivationsLeaveOnePass) {
    for (int i = 0; i < 3; ++i) {
        desktop.Then(sim::Click("frmDormello", "cmdChangeOptions"))
            .Then(sim::Click("frmDormellos", "cmdCancel"));
    }
    bool returned = false;
    // An activation while the watcher runs refreshes the window and comes back.
    desktop.Then(Check([&](auto&) {
        app.mainWindow->Form_Activate();
        returned = true;
    }));
    OpenAndClose(kEnglish, 2);
    RunPreselector();
    EXPECT_TRUE(returned);
    EXPECT_EQ(Keys(kEnglish), u"%R%R");
}

}  // namespace

namespace {

// The watcher's own looks are paced by what the desktop is seen to report: where every
// change is reported it sleeps between changes, re-checking seldom; where only window
// creation is (Wine), it re-checks four times a second, and finds what was not reported
// within one re-check.
struct ReportingCase {
    const char* name;
    bool creationOnly;
    // A rename goes unreported once, after every kind has been seen reported: from then on
    // the desktop is not trusted to report.
    bool oneRenameMissed;
    int wakesPerIdleMinuteAtMost;
    int wakesPerIdleMinuteAtLeast;
    Millis renamedInFrontAnsweredWithin;
};

void PrintTo(const ReportingCase& c, std::ostream* out) { *out << c.name; }

class ReportingTest : public WatcherTest, public ::testing::WithParamInterface<ReportingCase> {
  protected:
    ReportingTest() {
        if (GetParam().creationOnly) desktop.ReportCreationOnly();
        // A desktop's ordinary day: a window opens, takes the front and is renamed.
        desktop.Then(sim::OpenWindow(u"Notepad"))
            .Then(sim::RenameWindow(u"Notepad", u"notes.txt - Notepad").After(100ms));
        if (GetParam().oneRenameMissed) {
            desktop.Then(sim::RenameWindow(u"notes.txt - Notepad", u"Notepad").Unreported());
        }
    }
};

TEST_P(ReportingTest, IdleWakesFollowWhatIsReported) {
    int before = 0;
    desktop.Then(Check([&](auto& d) { before = d.Waits(); })).Then(sim::Idle(10min));
    RunPreselector();
    EXPECT_LE(desktop.Waits() - before, 10 * GetParam().wakesPerIdleMinuteAtMost);
    EXPECT_GE(desktop.Waits() - before, 10 * GetParam().wakesPerIdleMinuteAtLeast);
}

TEST_P(ReportingTest, DialogTitledWhileInFrontIsAnsweredSoon) {
    Millis renamedAt{0};
    desktop.Then(sim::OpenWindow(u"Untitled").After(1s))
        .Then(sim::RenameWindow(u"Untitled", std::u16string(kEnglish)).After(500ms))
        .Then(Check([&](auto& d) { renamedAt = d.Clock(); }))
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(std::u16string(kEnglish)));
    RunPreselector();
    ASSERT_EQ(desktop.Typed().size(), 1u);
    EXPECT_LE(desktop.Typed()[0].at - renamedAt, GetParam().renamedInFrontAnsweredWithin);
}

INSTANTIATE_TEST_SUITE_P(Desktops, ReportingTest,
                         ::testing::Values(ReportingCase{"reporting_everything", false, false, 6, 0,
                                                         0ms},
                                           ReportingCase{"reporting_everything_but_a_rename_missed",
                                                         false, true, 4 * 60 + 5, 4 * 60 - 20, 0ms},
                                           ReportingCase{"reporting_creation_only", true, false,
                                                         4 * 60 + 5, 4 * 60 - 10, 250ms}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// The watcher's work per reported window does not grow with the windows a desktop holds:
// it looks at the window the report names, and over all of them only at its re-checks.
class ManyWindowsTest : public WatcherTest, public ::testing::WithParamInterface<int> {};

TEST_P(ManyWindowsTest, WorkFollowsTheWindowsMadeNotTheWindowsHeld) {
    desktop.ReportCreationOnly();
    desktop.Then({"fill the desktop", [](auto& d) {
                      for (int i = 0; i < GetParam(); ++i) {
                          d.Open(u"Window " + common::FromUtf8(std::to_string(i)), false);
                      }
                  }});
    int before = 0;
    desktop.Then(Check([&](auto& d) { before = d.WindowVisits(); }).After(1s));
    constexpr int kMade = 300;
    for (int i = 0; i < kMade; ++i) {
        desktop.Then(sim::OpenWindow(u"Tooltip", false).After(3ms))
            .Then(sim::CloseWindow(u"Tooltip"));
    }
    RunPreselector();
    // A read or two per window made, and the re-checks' lists (about four in the second
    // the windows take).
    EXPECT_LE(desktop.WindowVisits() - before, 2 * kMade + 5 * (GetParam() + 10));
}

INSTANTIATE_TEST_SUITE_P(Desktops, ManyWindowsTest, ::testing::Values(10, 1000));

}  // namespace
