#include "bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace bench {

namespace {

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return buffer;
}

// "12.3 ms (×0.98)": the value and its ratio to the baseline's.
std::string WithRatio(std::optional<double> value, std::optional<double> baseline,
                      const char* format) {
    if (!value) {
        return "—";
    }
    std::string cell = Format(format, *value);
    if (baseline && *baseline > 0) {
        cell += " (×" + Format("%.3g", *value / *baseline) + ")";
    }
    return cell;
}

struct Figures {
    std::optional<double> p50;
    std::optional<double> p95;
    std::optional<double> max;
    std::optional<double> idlePerMinute;
    std::optional<double> runCpu;
    std::optional<double> idleServerPerMinute;
    std::optional<double> runServerCpu;
};

Figures FiguresOf(const WatcherResult& result) {
    Figures figures;
    const auto latencies = result.Latencies();
    if (!latencies.empty()) {
        figures.p50 = Percentile(latencies, 0.50);
        figures.p95 = Percentile(latencies, 0.95);
        figures.max = *std::max_element(latencies.begin(), latencies.end());
    }
    if (result.idleCpuSeconds && result.idleWallSeconds > 0) {
        figures.idlePerMinute = *result.idleCpuSeconds * 60.0 / result.idleWallSeconds;
    }
    figures.runCpu = result.runCpuSeconds;
    if (result.idleServerCpuSeconds && result.idleWallSeconds > 0) {
        figures.idleServerPerMinute = *result.idleServerCpuSeconds * 60.0 / result.idleWallSeconds;
    }
    figures.runServerCpu = result.runServerCpuSeconds;
    return figures;
}

std::string Milliseconds(std::optional<double> value) {
    return value ? Format("%.0f ms", *value) : "—";
}

std::string Seconds(std::optional<double> value) { return value ? Format("%.3f s", *value) : "—"; }

}  // namespace

double Percentile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::string WatcherTable(const std::vector<WatcherResult>& results, const std::string& baseline) {
    Figures base;
    for (const auto& result : results) {
        if (result.name == baseline) {
            base = FiguresOf(result);
        }
    }
    std::string table =
        "| watcher | answered | latency p50 | latency p95 | latency max | idle CPU, s per idle "
        "minute | CPU over the run, s | run length | keys elsewhere | key without Alt | wineserver "
        "CPU, s per idle "
        "minute | wineserver CPU over the run, s |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const auto& result : results) {
        const Figures figures = FiguresOf(result);
        table += "| " + result.name + " | " + std::to_string(result.Answered()) + "/" +
                 std::to_string(result.openings.size()) + " | " +
                 WithRatio(figures.p50, base.p50, "%.1f ms") + " | " +
                 WithRatio(figures.p95, base.p95, "%.1f ms") + " | " +
                 WithRatio(figures.max, base.max, "%.1f ms") + " | " +
                 WithRatio(figures.idlePerMinute, base.idlePerMinute, "%.3f") + " | " +
                 WithRatio(figures.runCpu, base.runCpu, "%.3f") + " | " +
                 Format("%.1f s", result.runWallSeconds) + " | " +
                 std::to_string(result.strayKeys) + " | " + std::to_string(result.WithoutAlt()) +
                 " | " + WithRatio(figures.idleServerPerMinute, base.idleServerPerMinute, "%.3f") +
                 " | " + WithRatio(figures.runServerCpu, base.runServerCpu, "%.3f") + " |\n";
        if (!result.error.empty()) {
            table += "| " + result.name + " failed: " + result.error + " ||||||||||||\n";
        }
    }
    std::string idle;
    std::string start;
    for (const auto& result : results) {
        if (result.standInIdleCpuSeconds && result.idleWallSeconds > 0) {
            idle += (idle.empty() ? "" : ", ") +
                    Format("%.3f", *result.standInIdleCpuSeconds * 60.0 / result.idleWallSeconds);
        }
        if (result.standInStartCpuSeconds) {
            start += (start.empty() ? "" : ", ") + Format("%.3f", *result.standInStartCpuSeconds);
        }
    }
    if (!idle.empty() || !start.empty()) {
        table +=
            "\nFor scale, the shutdown stand-ins (small Wine programs waiting in GetMessage) "
            "used " +
            (idle.empty() ? "—" : idle) +
            " s of CPU per idle minute over the same idle "
            "periods, and " +
            (start.empty() ? "—" : start) + " s to start (up to their first command).\n";
    }
    return table;
}

std::string LauncherTable(const std::vector<LauncherResult>& results) {
    std::string table =
        "| volume control shows after | start → its window shown | launcher CPU up to the "
        "volume control's start | launcher CPU while waiting for its window | start → "
        "\"Recording Control\" active | start → its retitling (its log) | start → launcher "
        "ends | launcher CPU, whole run |\n"
        "|---|---|---|---|---|---|---|---|\n";
    for (const auto& result : results) {
        std::string cpu = result.cpuSeconds ? Format("%.3f s", *result.cpuSeconds) : "—";
        if (result.cpuSeconds && result.cpuReadingAgeMs > 0) {
            cpu += Format(" (read %.0f ms before its end)", result.cpuReadingAgeMs);
        }
        std::optional<double> waiting;
        if (result.cpuAtVolumeStart && result.cpuUntilVolumeShown) {
            waiting = *result.cpuUntilVolumeShown - *result.cpuAtVolumeStart;
        }
        table += "| " + std::to_string(result.volumeControlDelayMs) + " ms | " +
                 Milliseconds(result.volumeShownAfterMs) + " | " +
                 Seconds(result.cpuAtVolumeStart) + " | " + Seconds(waiting) + " | " +
                 Milliseconds(result.activeAfterMs) + " | " + Milliseconds(result.retitledAfterMs) +
                 " | " + Milliseconds(result.exitAfterMs) + " | " + cpu + " |\n";
        if (!result.error.empty()) {
            table += "| failed: " + result.error + " ||||||||\n";
        } else if (!result.note.empty()) {
            table += "| " + result.note + " ||||||||\n";
        }
    }
    return table;
}

std::string OpeningsCsv(const std::vector<WatcherResult>& results) {
    std::string csv =
        "watcher,opening,gap_before_open_ms,gap_before_close_ms,create_to_shown_ms,"
        "shown_to_key_ms,key_without_alt\n";
    for (const auto& result : results) {
        for (std::size_t i = 0; i < result.openings.size(); ++i) {
            const Opening& opening = result.openings[i];
            csv += result.name + "," + std::to_string(i + 1) + "," +
                   std::to_string(opening.gapBeforeOpenMs) + "," +
                   std::to_string(opening.gapBeforeCloseMs) + "," +
                   (opening.createToShownMs ? Format("%.3f", *opening.createToShownMs) : "") + "," +
                   (opening.latencyMs ? Format("%.3f", *opening.latencyMs) : "") + "," +
                   (opening.withoutAlt ? "1" : "0") + "\n";
        }
    }
    return csv;
}

}  // namespace bench
