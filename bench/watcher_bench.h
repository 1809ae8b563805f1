#pragma once
// One watcher against the shutdown stand-in: its idle CPU with no dialog, then N
// openings and closings of the dialog at random gaps, each timed from the dialog being
// shown to Alt+key arriving in it. Both ends of each time are QueryPerformanceCounter
// readings that the stand-in logs, in one process on one machine.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/wait.h"

namespace bench {

struct WatcherKind {
    std::string name;  // as the table shows it
    std::string slug;  // in file names
    std::wstring exe;  // in the exe folder
    std::vector<std::wstring> args;
};

struct WatcherPlan {
    int openings = 100;
    unsigned seed = 1;
    int gapMinMs = 20;
    int gapMaxMs = 200;
    double idleSeconds = 60;
    wchar_t key = L'R';
    // An opening that gets no key within this is counted as missed.
    e2e::Millis keyTimeout{2000};
    // For the watcher's start-up and its first answer (a fresh Wine process is slow).
    e2e::Millis startTimeout{30000};
    // Where the stand-in's log is copied when the run is over ("" for nowhere).
    std::wstring outputFolder;
};

struct Opening {
    int gapBeforeOpenMs = 0;
    int gapBeforeCloseMs = 0;
    // From the stand-in's "shown" line to the first WM_SYSKEYDOWN of the key in the
    // dialog (or WM_KEYDOWN, see withoutAlt); nullopt when none came in time.
    std::optional<double> latencyMs;
    // The key arrived, but without Alt held (WM_KEYDOWN).
    bool withoutAlt = false;
    // From the dialog's creation (when FindWindow can first find it) to "shown".
    std::optional<double> createToShownMs;
};

struct WatcherResult {
    std::string name;
    std::string error;  // empty when the run went through
    std::vector<Opening> openings;
    std::optional<double> idleCpuSeconds;
    double idleWallSeconds = 0;
    std::optional<double> runCpuSeconds;
    double runWallSeconds = 0;
    // The same spans' CPU in this prefix's wineserver (under Wine only). It serves every
    // program of the prefix, the harness and the stand-in included, but during the idle
    // period only the watcher asks it anything.
    std::optional<double> idleServerCpuSeconds;
    std::optional<double> runServerCpuSeconds;
    // For scale: the stand-in's CPU over the idle period, a program that only waits in
    // GetMessage.
    std::optional<double> standInIdleCpuSeconds;
    // For scale: the stand-in's CPU by the time it took commands, the start-up cost of a
    // small Wine program.
    std::optional<double> standInStartCpuSeconds;
    // Key messages that reached a stand-in window other than the dialog.
    int strayKeys = 0;

    int Answered() const;
    int WithoutAlt() const;
    std::vector<double> Latencies() const;
};

WatcherResult BenchWatcher(const WatcherKind& kind, const WatcherPlan& plan);

}  // namespace bench
