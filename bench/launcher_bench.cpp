#include "bench/launcher_bench.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include "bench/clock.h"
#include "bench/log_tail.h"
#include "bench/process_cpu.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"
#include "e2e/driver/volume_standin.h"
#include "e2e/driver/wait.h"

namespace bench {

namespace {

constexpr e2e::Millis kRetitledLineTimeout{2000};

double NowMs() { return 1000.0 * SecondsNow(); }

void Say(const std::string& text) {
    std::printf("bench: launcher: %s\n", text.c_str());
    std::fflush(stdout);
}

std::wstring ForegroundTitle() {
    std::array<wchar_t, 256> title{};
    if (HWND window = GetForegroundWindow()) {
        // For another process's window this reads the title without sending a message.
        GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    }
    return title.data();
}

// Whether the volume control's window is up, under either of its titles.
bool VolumeControlShown() {
    for (const wchar_t* title : {e2e::kVolumeControlTitle, e2e::kRecordingControlTitle}) {
        HWND window = FindWindowW(nullptr, title);
        if (window != nullptr && IsWindowVisible(window)) {
            return true;
        }
    }
    return false;
}

// What the volume control's log says: its process id, and when it retitled its window.
struct VolumeControlLog {
    DWORD pid = 0;
    bool started = false;
    std::optional<std::int64_t> retitledTicks;

    void Read(LogTail& tail) {
        for (const auto& line : tail.ReadNew()) {
            pid = line.pid;
            started = started || line.event == "start";
            if (!retitledTicks && line.event == "retitled" &&
                line.Field("title") == e2e::ToUtf8(e2e::kRecordingControlTitle)) {
                retitledTicks = line.ticks;
            }
        }
    }
};

// Ends the volume control that the launcher started, by its process id from its log.
void EndVolumeControl(LogTail& tail, VolumeControlLog& log) {
    log.Read(tail);
    if (log.pid == 0) {
        return;
    }
    try {
        e2e::Process::Attach(log.pid).Terminate();
    } catch (const std::exception&) {
        // Already gone.
    }
}

void Run(const LauncherPlan& plan, LauncherResult& result, const std::wstring& folder,
         const std::wstring& logPath) {
    const e2e::VolumeOptionsForChildren options(
        {.delayMs = plan.volumeControlDelayMs, .logPath = logPath});
    LogTail tail(logPath);
    VolumeControlLog volumeLog;

    Say("starting sonvik32.exe; the volume control shows its window after " +
        std::to_string(plan.volumeControlDelayMs) + " ms");
    const double start = NowMs();
    auto launcher = e2e::Process::Start(e2e::ExePath(L"sonvik32.exe"), {}, folder);
    std::optional<double> lastCpu;
    double lastCpuAt = 0;
    double end = 0;
    try {
        for (;;) {
            const DWORD wait = WaitForSingleObject(launcher.Handle(),
                                                   static_cast<DWORD>(plan.pollInterval.count()));
            const double now = NowMs();
            if (!result.activeAfterMs && ForegroundTitle() == e2e::kRecordingControlTitle) {
                result.activeAfterMs = now - start;
            }
            if (wait == WAIT_OBJECT_0) {
                end = now;
                break;
            }
            if (const auto cpu = CpuSeconds(launcher.Handle(), launcher.Pid())) {
                lastCpu = cpu;
                lastCpuAt = NowMs();
            }
            volumeLog.Read(tail);
            if (!result.cpuAtVolumeStart && volumeLog.started) {
                result.cpuAtVolumeStart = lastCpu;
            }
            if (!result.volumeShownAfterMs && VolumeControlShown()) {
                result.volumeShownAfterMs = now - start;
                result.cpuUntilVolumeShown = lastCpu;
            }
            if (now - start > static_cast<double>(plan.timeout.count())) {
                throw std::runtime_error("sonvik32 did not end within the timeout");
            }
        }
    } catch (...) {
        EndVolumeControl(tail, volumeLog);
        throw;
    }
    result.exitAfterMs = end - start;
    result.exitCode = launcher.ExitCode();
    if (CpuReadableAfterExit()) {
        result.cpuSeconds = ProcessTimesSeconds(launcher.Handle());
    } else {
        result.cpuSeconds = lastCpu;
        result.cpuReadingAgeMs = end - lastCpuAt;
    }
    // The volume control writes its "retitled" line just after it has set the title the
    // launcher waits for, so the launcher can end first.
    e2e::WaitUntil(
        [&] {
            volumeLog.Read(tail);
            return volumeLog.retitledTicks.has_value() || !result.activeAfterMs;
        },
        kRetitledLineTimeout);
    if (!result.activeAfterMs) {
        result.note = "sonvik32 ended (exit code " + std::to_string(result.exitCode) +
                      ") without \"Recording Control\" being the active window";
        Say(result.note);
    }
    if (volumeLog.retitledTicks) {
        // The stand-in's counter is this process's counter: one machine, one clock.
        result.retitledAfterMs = e2e::TicksToMillis(*volumeLog.retitledTicks) - start;
    }
    EndVolumeControl(tail, volumeLog);
}

}  // namespace

LauncherResult BenchLauncher(const LauncherPlan& plan) {
    LauncherResult result;
    result.volumeControlDelayMs = plan.volumeControlDelayMs;
    const std::wstring folder = e2e::NewScratchFolder(L"bench-launcher");
    const std::wstring logPath = folder + L"\\sndvol32.log";
    try {
        Run(plan, result, folder, logPath);
    } catch (const std::exception& error) {
        result.error = error.what();
        Say("failed: " + result.error);
    }
    // The volume control has been ended by now, so its log is complete.
    if (!plan.outputFolder.empty()) {
        const std::wstring kept = plan.outputFolder + L"\\sndvol32-delay" +
                                  std::to_wstring(plan.volumeControlDelayMs) + L".log";
        CopyFileW(logPath.c_str(), kept.c_str(), FALSE);
    }
    return result;
}

}  // namespace bench
