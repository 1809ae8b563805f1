// How start-up recovers from an invalid key by the options dialog. How it settles the key
// and the hide flag, or finds none and says so, is bad_input_test's.
#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::Preselector;

class RecoveryTest : public SimTest {
  protected:
    // The invalid-key box answered, the dialog filled in and saved.
    void SaveInRecovery(std::u16string typed) {
        desktop.Then(sim::Answer(desktop::kAnswerOk))
            .Then(Check([](auto& d) {
                // Loaded with the (empty) key: the design-time "?" is gone.
                EXPECT_EQ(d.FormByName("frmDormellos")->Text("txtShutDownOption"), u"");
            }))
            .Then(sim::TypeText("frmDormellos", "txtShutDownOption", std::move(typed)))
            .Then(sim::Click("frmDormellos", "cmdSave"));
    }
};

TEST_F(RecoveryTest, SavedKeyIsUsedAndWritten) {
    SaveInRecovery(u"r");
    Preselector app(desktop);
    EXPECT_FALSE(desktop.Run([&] { app.StartUp(); }));

    EXPECT_EQ(app.g.ShortcutKey, u"R");
    EXPECT_FALSE(app.g.HideWindow);
    EXPECT_TRUE(app.g.WatcherRunning);
    EXPECT_EQ(Settings(), "[Shutdown]\r\nHide=False\r\nOption=R\r\n");
    EXPECT_EQ(desktop.Beeps(), 0);
}

TEST_F(RecoveryTest, EmptyBoxSavedBeepsAndEnds) {
    SaveInRecovery(u"");
    Preselector app(desktop);
    EXPECT_TRUE(desktop.Run([&] { app.StartUp(); }));

    EXPECT_EQ(desktop.Beeps(), 1);
    EXPECT_FALSE(app.g.WatcherRunning);
    // What was saved stays saved, and reads as invalid at the next start.
    EXPECT_EQ(Settings(), "[Shutdown]\r\nHide=False\r\nOption=\r\n");
}

TEST_F(RecoveryTest, FolderReportedWithTrailingSeparatorDoublesIt) {
    desktop.SetCurrentDirectory(u"C:\\TOOLS\\");
    desktop.Then(sim::Answer(desktop::kAnswerOk)).Then(sim::PressEscape("frmDormellos"));
    Preselector app(desktop);
    desktop.Run([&] { app.StartUp(); });
    ASSERT_EQ(desktop.Messages().size(), 1u);
    EXPECT_EQ(desktop.Messages()[0].prompt,
              u"Invalid Shutdown Option in C:\\TOOLS\\\\QUINTARO.INI");
}

}  // namespace
