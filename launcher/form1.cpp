#include "launcher/form1.h"

#include <algorithm>

#include "common/trim_at_nul.h"
#include "desktop/recheck_pacing.h"
#include "launcher/program.h"

namespace launcher {

namespace {

const desktop::FormLayout kLayout{
    .name = "Form1",
    .caption = u"Form1",
    .clientWidth = 4680,
    .clientHeight = 3195,
};

constexpr int kBufferSize = 255;
constexpr std::u16string_view kVolumeControl = u"\\SNDVOL32.EXE";
constexpr std::u16string_view kRecordingKeys = u"%pr{TAB}{DOWN}~";
constexpr std::u16string_view kRecordingTitle = u"Recording Control";

}  // namespace

const desktop::FormLayout& Form1::Layout() const { return kLayout; }

template <typename Condition>
void Form1::WaitUntil(desktop::Millis deadline, Condition ready) {
    auto& shell = Shell();
    desktop::RecheckPacing pacing;
    while (true) {
        shell.PumpEvents();
        if (ready()) return;
        const auto now = shell.Now();
        if (now >= deadline) shell.EndProgram();  // silently, as a failure does
        shell.WaitForDesktopChange(std::min(pacing.Next(), deadline - now));
    }
}

void Form1::Run() {
    auto& shell = Shell();
    std::u16string buffer(kBufferSize, u'\0');
    shell.GetWindowsDirectoryA(buffer, kBufferSize);
    const auto windows = common::TrimAtNul(buffer);

    const int task =
        shell.LaunchProgram(windows + std::u16string(kVolumeControl), desktop::kNormalFocus);
    const auto deadline = shell.Now() + kPatience;

    // The keys must reach the volume control, not whatever had the focus when it was
    // started: wait until it takes input and its window is in front, then type, and
    // only while it is still in front.
    if (!shell.WaitForInputIdle(task, kPatience) || shell.Now() >= deadline) shell.EndProgram();
    bool typed = false;
    WaitUntil(deadline, [&] {
        const auto front = shell.ForegroundWindow();
        typed = front > 0 && shell.WindowTask(front) == task &&
                shell.SendKeystrokesInto(front, kRecordingKeys, true);
        return typed;
    });

    WaitUntil(deadline, [&] { return shell.FindWindowA(kRecordingTitle) > 0; });
    for (int i = 1; i <= 10; ++i) shell.PumpEvents();
    shell.PumpEvents();
    shell.ActivateWindow(kRecordingTitle);
    shell.EndProgram();
}

void Form1::Form_Load() {
    try {
        Run();
    } catch (const desktop::DesktopError&) {
        // Every failure ends the launcher without a word: it has no window to speak from.
        Shell().EndProgram();
    }
}

void Main(desktop::PlatformShell& shell) {
    Form1 form(shell);
    shell.Show(form);
}

}  // namespace launcher
