#include "bench/watcher_bench.h"

#include <cstdio>
#include <exception>
#include <random>
#include <stdexcept>

#include "bench/clock.h"
#include "bench/log_tail.h"
#include "bench/process_cpu.h"
#include "e2e/driver/dialog_appearances.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/windows.h"

namespace bench {

namespace {

void Say(const std::string& name, const std::string& text) {
    std::printf("bench: %s: %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}

// Follows the stand-in's log through one opening after another.
class DialogTracker {
  public:
    DialogTracker(std::wstring logPath, const std::wstring& dialogTitle, char key)
        : tail_(std::move(logPath)), appearances_(dialogTitle), key_(key) {}

    // Reads what the stand-in logged since the last call.
    void Update() {
        for (const auto& line : tail_.ReadNew()) {
            appearances_.Add(line);
        }
    }
    size_t Count() const { return appearances_.All().size(); }
    const e2e::Appearance& Last() const { return appearances_.All().back(); }
    // The key-down in the last appearance, once it came.
    const e2e::LogLine* Key() const {
        return Count() == 0 ? nullptr : Last().FirstKeyAfterShown(key_);
    }
    int StrayKeys() const { return static_cast<int>(appearances_.StrayKeys().size()); }

  private:
    LogTail tail_;
    e2e::DialogAppearances appearances_;
    char key_;
};

// Opens the dialog and waits up to `timeout` for the key; closing is left to the caller.
// False when no key came.
bool OpenAndWaitForKey(const e2e::ShutdownStandIn& standIn, DialogTracker& tracker,
                       e2e::Millis timeout) {
    tracker.Update();
    const size_t before = tracker.Count();
    if (standIn.Command(L"open") != 1) {
        throw std::runtime_error("the stand-in would not open its dialog");
    }
    return e2e::WaitUntil(
        [&] {
            tracker.Update();
            return tracker.Count() > before && tracker.Key() != nullptr;
        },
        timeout);
}

void Close(const e2e::ShutdownStandIn& standIn) {
    if (standIn.Command(L"close") != 1) {
        throw std::runtime_error("the stand-in had no dialog to close");
    }
}

std::optional<double> Difference(std::optional<double> before, std::optional<double> after) {
    if (!before || !after) {
        return std::nullopt;
    }
    return *after - *before;
}

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
