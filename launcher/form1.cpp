#include "launcher/form1.h"

#include <algorithm>
#include <exception>

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
// How long the volume control may take to close what the keys opened.
constexpr desktop::Millis kSettling{2000};

}  // namespace

const desktop::FormLayout& Form1Layout() { return kLayout; }

const desktop::FormLayout& Form1::Layout() const { return Form1Layout(); }

template <typename Condition>
bool Form1::WaitFor(desktop::Millis deadline, Condition ready) {
    auto& shell = Shell();
    desktop::RecheckPacing pacing;
    while (true) {
        shell.PumpEvents();
        if (ready()) return true;
        const auto now = shell.Now();
        if (now >= deadline) return false;
        shell.WaitForDesktopChange(std::min(pacing.Next(), deadline - now));
    }
}

template <typename Condition>
void Form1::WaitUntil(desktop::Millis deadline, Condition ready) {
    if (!WaitFor(deadline, ready)) Shell().EndProgram();  // silently, as a failure does
}

int Form1::LaunchVolumeControl() {
    auto& shell = Shell();
    std::u16string buffer(kBufferSize, u'\0');
    shell.GetWindowsDirectoryA(buffer, kBufferSize);
    const auto windows = common::TrimAtNul(buffer);
    try {
        return shell.LaunchProgram(windows + std::u16string(kVolumeControl), desktop::kNormalFocus);
    } catch (const desktop::DesktopError&) {
        // Windows 95, 98 and ME keep the volume control in the Windows folder; NT 4.0,
        // 2000 and XP keep it in the system folder. A failure there too is the run's.
        std::u16string system(kBufferSize, u'\0');
        shell.GetSystemDirectoryA(system, kBufferSize);
        return shell.LaunchProgram(common::TrimAtNul(system) + std::u16string(kVolumeControl),
                                   desktop::kNormalFocus);
    }
}

void Form1::Run() {
    auto& shell = Shell();
    const int task = LaunchVolumeControl();
    const auto deadline = shell.Now() + kPatience;

    // The keys must reach the volume control, not whatever had the focus when it was
    // started: wait until it takes input and its window is in front, then type, and
    // only while it is still in front.
    if (!shell.WaitForInputIdle(task, kPatience) || shell.Now() >= deadline) shell.EndProgram();
    desktop::WindowHandle typedInto = 0;
    WaitUntil(deadline, [&] {
        const auto front = shell.ForegroundWindow();
        if (front > 0 && shell.WindowTask(front) == task &&
            shell.SendKeystrokesInto(front, kRecordingKeys, true)) {
            typedInto = front;
        }
        return typedInto > 0;
    });

    // The keys open the volume control's Properties dialog and close it again, and the
    // closing brings the volume control's own window back to the front. A "Recording
    // Control" brought forward before that (one open already is found at once) would be
    // pushed back by it, so wait until the window typed into, or another program, is in
    // front again. Briefly: a volume control that keeps a dialog open must not hold the
    // launcher up.
    WaitFor(std::min(deadline, shell.Now() + kSettling), [&] {
        const auto front = shell.ForegroundWindow();
        return front == typedInto || shell.WindowTask(front) != task;
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
    try {
        Form1 form(shell);
        shell.Show(form);
    } catch (const std::exception&) {
        // A failure before the load's trap is armed (the form's window cannot be made)
        // ends the launcher as quietly as one inside it.
        shell.EndProgram();
    }
}

}  // namespace launcher
