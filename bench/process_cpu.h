#pragma once
// The CPU time (user plus kernel) another process has used, in seconds.
//
// On Windows that is GetProcessTimes on the process's handle. Wine 8 answers
// GetProcessTimes on another process's handle with the *calling* process's own times
// (measured on this machine: a child that spun for 1.5 s "used" the 0.08 s its parent
// had), so under Wine the figure comes from the system's process list instead
// (NtQuerySystemInformation, SystemProcessInformation), which Wine fills in from the
// kernel's accounting of the process. Both move in steps of the kernel's clock tick
// (10 ms under Wine on Linux).
#include <windows.h>

#include <optional>
#include <string>

namespace bench {

bool UnderWine();
// "Wine 8.0", or "" on Windows.
std::string WineVersion();
// One line saying where the CPU figures come from, for the report.
std::string CpuSourceNote();

// The process's CPU time so far; nullopt when it cannot be read (under Wine: the process
// has ended, as it leaves the process list then).
std::optional<double> CpuSeconds(HANDLE process, DWORD pid);
// GetProcessTimes on the handle, whatever the platform (it stays readable after the
// process ends; under Wine it is the caller's own time, see above).
std::optional<double> ProcessTimesSeconds(HANDLE process);
// Whether CpuSeconds can still be read once the process has ended (true on Windows).
bool CpuReadableAfterExit();

// Under Wine: the CPU time of this prefix's wineserver, the process that answers every
// window-manager call of every program in the prefix (FindWindow, PeekMessage...), so
// a watcher's looks cost CPU there as well as in the watcher. Read from the Linux
// process table (drive Z: is the Linux root). nullopt on Windows or when not found.
std::optional<double> WineserverCpuSeconds();

// Under Wine: how many times the main thread of this prefix's process `exeName` has slept
// and been woken (Linux's voluntary context switches). Every wait that ends counts, and
// so does every wineserver request, which is a round trip through a pipe: a measure of
// how often an idle program stirs, not of its wakes alone. nullopt on Windows.
std::optional<long long> WakesSoFar(const std::string& exeName);

}  // namespace bench
