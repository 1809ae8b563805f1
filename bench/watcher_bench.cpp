#include "bench/watcher_bench.h"

#include <cstdio>
#include <exception>
#include <random>
#include <stdexcept>

#include "bench/clock.h"
#include "bench/dialog_tracker.h"
#include "bench/process_cpu.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/windows.h"

namespace bench {

namespace {

void Run(const WatcherKind& kind, const WatcherPlan& plan, WatcherResult& result,
         std::wstring& logPath) {
    const std::wstring folder = e2e::NewScratchFolder(L"bench-" + e2e::FromUtf8(kind.slug));
    auto standIn = e2e::ShutdownStandIn::Start(folder);
    logPath = standIn.Log().Path();
    result.standInStartCpuSeconds = CpuSeconds(standIn.Proc().Handle(), standIn.Proc().Pid());
    DialogTracker tracker(standIn.Log().Path(), standIn.DialogTitle(), static_cast<char>(plan.key));

    Say(kind.name, "starting " + e2e::ToUtf8(kind.exe));
    auto watcher = e2e::Process::Start(e2e::ExePath(kind.exe), kind.args, folder);
    // Up once it has a window; ready once it has answered a first dialog (not counted).
    if (!e2e::WaitUntil([&] { return !e2e::TopLevelWindows(watcher.Pid()).empty(); },
                        plan.startTimeout)) {
        throw std::runtime_error("it showed no window within the start timeout");
    }
    const bool warmedUp = OpenAndWaitForKey(standIn, tracker, plan.startTimeout);
    Close(standIn);
    if (!warmedUp) {
        throw std::runtime_error("it did not answer a first dialog");
    }

    Say(kind.name,
        "idle for " + std::to_string(static_cast<int>(plan.idleSeconds)) + " s, no dialog");
    const auto idleServerBefore = WineserverCpuSeconds();
    const auto idleCpuBefore = CpuSeconds(watcher.Handle(), watcher.Pid());
    const auto standInBefore = CpuSeconds(standIn.Proc().Handle(), standIn.Proc().Pid());
    const double idleStart = SecondsNow();
    if (WaitForSingleObject(watcher.Handle(), static_cast<DWORD>(plan.idleSeconds * 1000)) !=
        WAIT_TIMEOUT) {
        throw std::runtime_error("it ended while idle");
    }
    const auto idleCpuAfter = CpuSeconds(watcher.Handle(), watcher.Pid());
    result.idleWallSeconds = SecondsNow() - idleStart;
    result.idleCpuSeconds = Difference(idleCpuBefore, idleCpuAfter);
    result.idleServerCpuSeconds = Difference(idleServerBefore, WineserverCpuSeconds());
    result.standInIdleCpuSeconds =
        Difference(standInBefore, CpuSeconds(standIn.Proc().Handle(), standIn.Proc().Pid()));

    Say(kind.name, std::to_string(plan.openings) + " openings");
    std::mt19937 random(plan.seed);
    std::uniform_int_distribution<int> gap(plan.gapMinMs, plan.gapMaxMs);
    const auto runServerBefore = WineserverCpuSeconds();
    const auto runCpuBefore = CpuSeconds(watcher.Handle(), watcher.Pid());
    const double runStart = SecondsNow();
    for (int i = 0; i < plan.openings; ++i) {
        Opening opening;
        opening.gapBeforeOpenMs = gap(random);
        opening.gapBeforeCloseMs = gap(random);
        // The gaps are deliberate waits, the pace of the run.
        Sleep(static_cast<DWORD>(opening.gapBeforeOpenMs));
        OpenAndWaitForKey(standIn, tracker, plan.keyTimeout);
        Sleep(static_cast<DWORD>(opening.gapBeforeCloseMs));
        Close(standIn);
        tracker.Update();
        const e2e::Appearance& dialog = tracker.Last();
        if (dialog.shownAt) {
            opening.createToShownMs = e2e::TicksToMillis(*dialog.shownAt - dialog.createdAt);
        }
        if (const e2e::LogLine* key = tracker.Key()) {
            opening.latencyMs = e2e::TicksToMillis(key->ticks - *dialog.shownAt);
            opening.withoutAlt = key->Field("msg") == "WM_KEYDOWN";
        }
        result.openings.push_back(opening);
        if ((i + 1) % 25 == 0 || i + 1 == plan.openings) {
            Say(kind.name, std::to_string(i + 1) + " done, " + std::to_string(result.Answered()) +
                               " answered");
        }
    }
    result.runWallSeconds = SecondsNow() - runStart;
    result.runCpuSeconds = Difference(runCpuBefore, CpuSeconds(watcher.Handle(), watcher.Pid()));
    result.runServerCpuSeconds = Difference(runServerBefore, WineserverCpuSeconds());
    result.strayKeys = tracker.StrayKeys();
    if (!watcher.Running()) {
        throw std::runtime_error("it ended during the openings");
    }
    // Both processes are ended by their handles as they go out of scope.
}

}  // namespace

int WatcherResult::WithoutAlt() const {
    int count = 0;
    for (const auto& opening : openings) {
        count += opening.withoutAlt ? 1 : 0;
    }
    return count;
}

int WatcherResult::Answered() const {
    int answered = 0;
    for (const auto& opening : openings) {
        answered += opening.latencyMs ? 1 : 0;
    }
    return answered;
}

std::vector<double> WatcherResult::Latencies() const {
    std::vector<double> latencies;
    for (const auto& opening : openings) {
        if (opening.latencyMs) {
            latencies.push_back(*opening.latencyMs);
        }
    }
    return latencies;
}

WatcherResult BenchWatcher(const WatcherKind& kind, const WatcherPlan& plan) {
    WatcherResult result;
    result.name = kind.name;
    std::wstring logPath;
    try {
        Run(kind, plan, result, logPath);
    } catch (const std::exception& error) {
        result.error = error.what();
        Say(kind.name, "failed: " + result.error);
    }
    // The processes have ended by now, so the log is complete.
    if (!logPath.empty() && !plan.outputFolder.empty()) {
        const std::wstring kept =
            plan.outputFolder + L"\\standin_shutdown-" + e2e::FromUtf8(kind.slug) + L".log";
        CopyFileW(logPath.c_str(), kept.c_str(), FALSE);
    }
    return result;
}

}  // namespace bench
