#pragma once
// The benchmark's table: latency percentiles and CPU figures for each watcher with their
// ratios to the busy loop, and the launcher's runs.
#include <string>
#include <vector>

#include "bench/launcher_bench.h"
#include "bench/watcher_bench.h"

namespace bench {

// The nearest-rank percentile (0 < q <= 1) of `values`; 0 for none.
double Percentile(std::vector<double> values, double q);

// The tables as Markdown. `baseline` names the watcher the ratios are taken to.
std::string WatcherTable(const std::vector<WatcherResult>& results, const std::string& baseline);
std::string LauncherTable(const std::vector<LauncherResult>& results);
// One line per opening: watcher, opening, gaps, latency (empty when missed).
std::string OpeningsCsv(const std::vector<WatcherResult>& results);

}  // namespace bench
