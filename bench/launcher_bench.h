#pragma once
// The launcher (sonvik32) against the stand-in volume control: how long from its start
// until "Recording Control" is the active window, and how much CPU it used meanwhile,
// when the volume control shows its window only after a delay.
#include <windows.h>

#include <optional>
#include <string>

#include "e2e/driver/wait.h"

namespace bench {

struct LauncherPlan {
    DWORD volumeControlDelayMs = 2000;
    // How often the harness looks at the launcher while it runs.
    e2e::Millis pollInterval{5};
    e2e::Millis timeout{40000};
    // Where the volume control's log is copied when the run is over ("" for nowhere).
    std::wstring outputFolder;
};

struct LauncherResult {
    DWORD volumeControlDelayMs = 0;
    std::string error;  // empty when the run went through
    // What went wrong on the launcher's side (it ended without "Recording Control" in
    // front, say), with the volume control's log; empty when nothing did.
    std::string note;
    // From just before CreateProcess to the first look that found "Recording Control"
    // the foreground window.
    std::optional<double> activeAfterMs;
    // From the same start to the volume control's own "retitled" log line.
    std::optional<double> retitledAfterMs;
    // From the same start to the first look that found the volume control's window
    // shown, and the launcher's CPU time at that look.
    std::optional<double> volumeShownAfterMs;
    std::optional<double> cpuUntilVolumeShown;
    // The launcher's CPU time at the first look after the volume control logged its
    // start: up to here the launcher was starting up and starting the volume control;
    // from here to the window being shown it only waited.
    std::optional<double> cpuAtVolumeStart;
    // From the same start to the launcher's end.
    std::optional<double> exitAfterMs;
    DWORD exitCode = STILL_ACTIVE;
    // The launcher's CPU time over its whole run: read after it ended where the system
    // keeps it readable, else the last reading taken before it ended.
    std::optional<double> cpuSeconds;
    // How long before the end that last reading was taken (0 when read after the end).
    double cpuReadingAgeMs = 0;
};

LauncherResult BenchLauncher(const LauncherPlan& plan);

}  // namespace bench
