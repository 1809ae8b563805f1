// The launcher's run on the simulated desktop: the sequence, its failure trap and its
// time bound.
#include <optional>

#include "launcher/form1.h"
#include "launcher/program.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;

constexpr std::u16string_view kVolumeControl = u"C:\\WINDOWS\\SNDVOL32.EXE";
constexpr std::u16string_view kRecordingKeys = u"%pr{TAB}{DOWN}~";

// How the stand-in volume control behaves once started.
struct VolumeControl {
    desktop::Millis startDelay{0};
    bool takesFocus = true;
    bool switchesToRecording = true;
};

class LauncherTest : public SimTest {
  protected:
    void Install(VolumeControl vc, std::u16string path = std::u16string(kVolumeControl)) {
        desktop.AddProgram(std::move(path), [vc](sim::SimulatedDesktop& d, int task) {
            d.Insert(sim::OpenWindow(u"Volume Control", vc.takesFocus, task).After(vc.startDelay));
        });
        if (vc.switchesToRecording) {
            desktop.OnKeys(u"Volume Control", [](sim::SimulatedDesktop& d, const auto& keys) {
                if (desktop::DescribeStrokes(keys) == u"%pr{TAB}{DOWN}{ENTER}") {
                    d.Rename(u"Volume Control", u"Recording Control");
                }
            });
        }
    }
    bool RunLauncher() {
        const bool ended = desktop.Run([&] { launcher::Main(desktop); });
        EXPECT_TRUE(desktop.Messages().empty());
        EXPECT_EQ(desktop.FormByName("Form1") == nullptr || !desktop.FormByName("Form1")->Visible(),
                  true);
        return ended;
    }
};

TEST_F(LauncherTest, OpensTheRecordingViewAndBringsItToTheFront) {
    Install({.startDelay = 700ms});
    EXPECT_TRUE(RunLauncher());
    ASSERT_EQ(desktop.Launches().size(), 1u);
    EXPECT_EQ(desktop.Launches()[0], kVolumeControl);
    EXPECT_EQ(desktop.KeysReceivedBy(u"Volume Control"), u"%pr{TAB}{DOWN}{ENTER}");
    EXPECT_EQ(desktop.Activations(), std::vector<std::u16string>{u"Recording Control"});
    EXPECT_EQ(desktop.ForegroundTitle(), u"Recording Control");
    EXPECT_EQ(desktop.Typed().size(), 1u);
}

// Where the volume control is found: the Windows folder on 95 to ME, the system folder on
// NT 4.0 to XP. The whole path is started, spaces and all.
struct FolderCase {
    const char* name;
    std::u16string windows;
    std::u16string system;
    std::vector<std::u16string> installed;
    std::u16string started;
};

class LauncherFolderTest : public LauncherTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(LauncherFolderTest, StartsTheVolumeControlWhereItIs) {
    const auto& c = GetParam();
    desktop.SetWindowsDirectory(c.windows);
    desktop.SetSystemDirectory(c.system);
    // One of them is started: the keys are watched for once.
    for (const auto& path : c.installed)
        Install({.switchesToRecording = &path == &c.installed[0]}, path);
    EXPECT_TRUE(RunLauncher());
    EXPECT_EQ(desktop.Launches(), std::vector<std::u16string>{c.started});
    EXPECT_EQ(desktop.ForegroundTitle(), u"Recording Control");
}

INSTANTIATE_TEST_SUITE_P(Folders, LauncherFolderTest,
                         ::testing::Values(FolderCase{"windows folder with a space",
                                                      u"C:\\My Windows",
                                                      u"C:\\My Windows\\SYSTEM",
                                                      {u"C:\\My Windows\\SNDVOL32.EXE"},
                                                      u"C:\\My Windows\\SNDVOL32.EXE"},
                                           FolderCase{"system folder alone",
                                                      u"C:\\WINNT",
                                                      u"C:\\WINNT\\system32",
                                                      {u"C:\\WINNT\\system32\\SNDVOL32.EXE"},
                                                      u"C:\\WINNT\\system32\\SNDVOL32.EXE"},
                                           FolderCase{"both: the windows folder's",
                                                      u"C:\\WINNT",
                                                      u"C:\\WINNT\\system32",
                                                      {u"C:\\WINNT\\SNDVOL32.EXE",
                                                       u"C:\\WINNT\\system32\\SNDVOL32.EXE"},
                                                      u"C:\\WINNT\\SNDVOL32.EXE"}),
                         [](const auto& tc) { return CaseName(tc.param.name); });

// The volume control acting on the keys as the real one does: they open its Properties
// dialog in front, and the dialog's closing gives the front back to the volume control's
// window, after `closesAfter` (or never). A "Recording Control" open already must end in
// front all the same, brought there once the dialog has gone or the launcher stops
// waiting for that.
struct SlowDialogCase {
    const char* name;
    std::optional<desktop::Millis> closesAfter;
    desktop::Millis activatedAt;
};

const SlowDialogCase kSlowDialogs[] = {
    {"closes at once", 0ms, 0ms},
    {"closes after 300 ms", 300ms, 300ms},
    {"never closes", std::nullopt, 2s},
};

class LauncherSlowDialogTest : public LauncherTest,
                               public ::testing::WithParamInterface<SlowDialogCase> {};

TEST_P(LauncherSlowDialogTest, RecordingControlOpenAlreadyEndsInFront) {
    const auto& c = GetParam();
    desktop.Open(u"Recording Control", true, 42);
    Install({.switchesToRecording = false});
    desktop.OnKeys(u"Volume Control", [&c](sim::SimulatedDesktop& d, const auto&) {
        d.Open(u"Properties", true, d.WindowTask(d.FindWindowA(u"Volume Control")));
        if (c.closesAfter) {
            d.Insert(sim::FocusWindow(u"Volume Control"));
            d.Insert(sim::CloseWindow(u"Properties").After(*c.closesAfter));
        }
    });
    desktop.Then(sim::Idle(10min));
    EXPECT_TRUE(RunLauncher());
    EXPECT_EQ(desktop.Activations(), std::vector<std::u16string>{u"Recording Control"});
    EXPECT_EQ(desktop.ForegroundTitle(), u"Recording Control");
    EXPECT_EQ(desktop.KeysReceivedBy(u"Recording Control"), u"");  // the one it started had them
    EXPECT_GE(desktop.Clock(), c.activatedAt);
    EXPECT_LE(desktop.Clock(), c.activatedAt + 300ms);
}

INSTANTIATE_TEST_SUITE_P(VolumeControl, LauncherSlowDialogTest, ::testing::ValuesIn(kSlowDialogs),
                         [](const auto& tc) { return CaseName(tc.param.name); });

// Ways the volume control fails the launcher: it ends quietly, typing into nothing
// else, and never later than its bound.
struct FailureCase {
    const char* name;
    bool installed;
    VolumeControl vc;
    bool endsAtBound;
};

const FailureCase kFailures[] = {
    {"volume control missing", false, {}, false},
    {"never switches to recording", true, {.switchesToRecording = false}, true},
    {"never takes the focus from another window", true, {.takesFocus = false}, true},
    {"starts slower than the bound", true, {.startDelay = 45s}, true},
};

class LauncherFailureTest : public LauncherTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LauncherFailureTest, EndsQuietlyTypingIntoNothingElse) {
    const auto& c = GetParam();
    desktop.Open(u"Notepad");
    if (c.installed) Install(c.vc);
    desktop.Then(sim::Idle(10min));  // the desktop would go on; the launcher must not
    EXPECT_TRUE(RunLauncher());
    EXPECT_EQ(desktop.KeysReceivedBy(u"Notepad"), u"");
    EXPECT_TRUE(desktop.Activations().empty());
    if (c.endsAtBound) {
        EXPECT_GE(desktop.Clock(), launcher::kPatience);
        EXPECT_LE(desktop.Clock(), launcher::kPatience + 1s);
    } else {
        EXPECT_EQ(desktop.Clock(), 0ms);
    }
    // It waited for changes, rather than spinning through the bound.
    EXPECT_LE(desktop.Waits(), 30 * 4 + 10);
}

INSTANTIATE_TEST_SUITE_P(Faults, LauncherFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& tc) { return CaseName(tc.param.name); });

TEST_F(LauncherTest, KeysWaitUntilTheVolumeControlHasTheFocus) {
    desktop.Open(u"Notepad");
    Install({.startDelay = 2s, .takesFocus = false});
    desktop.Then(sim::FocusWindow(u"Volume Control").After(3s));
    EXPECT_TRUE(RunLauncher());
    EXPECT_EQ(desktop.KeysReceivedBy(u"Notepad"), u"");
    EXPECT_EQ(desktop.KeysReceivedBy(u"Volume Control"), u"%pr{TAB}{DOWN}{ENTER}");
}

TEST_F(LauncherTest, VolumeControlClosingMidRunEndsTheLauncherAtItsBound) {
    Install({.switchesToRecording = false});
    desktop.Then(sim::CloseWindow(u"Volume Control").After(1s)).Then(sim::Idle(10min));
    EXPECT_TRUE(RunLauncher());
    EXPECT_TRUE(desktop.Activations().empty());
    EXPECT_LE(desktop.Clock(), launcher::kPatience + 1s);
}

// The launcher has no messages: a failure before its load's trap is armed ends it as
// quietly as one inside.
class NoFormWindows : public sim::SimulatedDesktop {
  protected:
    std::unique_ptr<desktop::FormWindow> CreateFormWindow(desktop::Form&, desktop::Form*) override {
        throw desktop::DesktopError("cannot create the window of form Form1");
    }
};

TEST(LauncherFailureTest, AFormWindowThatCannotBeMadeEndsItWithoutAWord) {
    NoFormWindows desktop;
    EXPECT_TRUE(desktop.Run([&] { launcher::Main(desktop); }));
    EXPECT_TRUE(desktop.Messages().empty());
    EXPECT_TRUE(desktop.Launches().empty());
}

}  // namespace
