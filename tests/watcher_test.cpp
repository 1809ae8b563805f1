// The watcher: Alt plus the key, once per appearance of the shutdown dialog, and only
// into the dialog.
#include "desktop/key_strokes.h"
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

TEST_F(WatcherTest, TitleMustMatchWholeIgnoringCase) {
    desktop.Then(sim::OpenWindow(u"Shut Down Windows - Help"))
        .Then(sim::OpenWindow(u"shut down windows"));
    RunPreselector();
    EXPECT_EQ(Keys(u"Shut Down Windows - Help"), u"");
    EXPECT_EQ(Keys(u"shut down windows"), u"%R");
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

// Keys that belong to the key syntax are typed as themselves, never a failure.
class SyntaxKeyTest : public WatcherTest, public ::testing::WithParamInterface<char16_t> {};

TEST_P(SyntaxKeyTest, TypedAsItself) {
    const char16_t key = GetParam();
    desktop.SetCommandLine(std::u16string(1, key));
    OpenAndClose(kEnglish, 2);
    RunPreselector();
    const auto strokes = desktop::ParseKeyString(Keys(kEnglish));
    ASSERT_EQ(strokes.size(), 2u);
    for (const auto& stroke : strokes) {
        EXPECT_TRUE(stroke.held.alt);
        EXPECT_FALSE(stroke.isNamed);
        EXPECT_EQ(stroke.character, key);
    }
}

INSTANTIATE_TEST_SUITE_P(SyntaxCharacters, SyntaxKeyTest,
                         ::testing::Values(u'+', u'^', u'%', u'~', u'(', u')', u'{', u'}', u'[',
                                           u']'));

TEST_F(WatcherTest, WaitsForTheDialogToTakeTheFocusBeforeTyping) {
    desktop.Then(sim::OpenWindow(u"Notepad"))
        .Then(sim::OpenWindow(std::u16string(kEnglish), /*takeFocus=*/false))
        .Then(sim::Idle(2s))
        .Then(Check([&](auto& d) { EXPECT_EQ(d.Typed().size(), 0u); }))
        .Then(sim::FocusWindow(std::u16string(kEnglish)))
        .Then(sim::Idle(1s))
        .Then(sim::FocusWindow(u"Notepad"))
        .Then(sim::FocusWindow(std::u16string(kEnglish)));
    RunPreselector();
    EXPECT_EQ(Keys(u"Notepad"), u"");
    EXPECT_EQ(Keys(kEnglish), u"%R");
}

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
    Millis answeredWithin;  // from the focus
};

void PrintTo(const UnreportedFocusCase& c, std::ostream* out) {
    *out << "focus after " << c.focusAfter.count() << " ms";
}

class UnreportedFocusTest : public WatcherTest,
                            public ::testing::WithParamInterface<UnreportedFocusCase> {};

TEST_P(UnreportedFocusTest, IsNoticedSoonAfter) {
    const auto [focusAfter, within] = GetParam();
    Millis createdAt{-1};
    desktop.Then(sim::OpenWindow(u"Notepad"))
        .Then(sim::OpenWindow(std::u16string(kEnglish), /*takeFocus=*/false))
        .Then(Check([&](auto& d) { createdAt = d.Clock(); }))
        .Then(sim::FocusWindow(std::u16string(kEnglish)).After(focusAfter).Unreported())
        .Then(sim::Idle(1s))
        .Then(sim::CloseWindow(std::u16string(kEnglish)));
    RunPreselector();
    ASSERT_EQ(desktop.Typed().size(), 1u);
    const Millis focusedAt = createdAt + focusAfter;
    EXPECT_GE(desktop.Typed()[0].at, focusedAt);
    EXPECT_LE(desktop.Typed()[0].at, focusedAt + within);
}

INSTANTIATE_TEST_SUITE_P(Delays, UnreportedFocusTest,
                         ::testing::Values(UnreportedFocusCase{1ms, 2ms},
                                           UnreportedFocusCase{37ms, 2ms},
                                           UnreportedFocusCase{200ms, 2ms},
                                           UnreportedFocusCase{600ms, 250ms},
                                           UnreportedFocusCase{10min, 250ms}));

// While a window of the preselector is up modally, the watcher does not look; the
// dialog is answered afterwards if it is still open.
TEST_F(WatcherTest, ExitQuestionHoldsTheWatcherUntilAnswered) {
    desktop.Then(sim::Click("frmDormello", "cmdExit"))
        .Then(sim::OpenWindow(std::u16string(kEnglish)))
        .Then(sim::Idle(1s))
        .Then(Check([](auto& d) { EXPECT_EQ(d.Typed().size(), 0u); }))
        .Then(sim::Answer(desktop::kAnswerNo))
        .Then(sim::Idle(1s))
        .Then(Check([](auto& d) { EXPECT_EQ(d.Typed().size(), 1u); }));
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
