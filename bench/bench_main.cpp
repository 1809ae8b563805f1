// The benchmark harness: the preselector's watcher against two reference watchers (a
// busy loop and a 100 ms sleep-and-look loop), then the launcher, all under one virtual
// desktop. Prints one table and, with --screenshot-dir (tools/on-wine-desktop.sh gives
// it), writes it and every opening's figures to that folder. Times and CPU are reported,
// never judged. See bench/README.md.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/desktop_bench.h"
#include "bench/launcher_bench.h"
#include "bench/process_cpu.h"
#include "bench/report.h"
#include "bench/watcher_bench.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/text.h"

namespace {

constexpr char kUsage[] =
    "usage: quintaro_bench [--openings=N] [--seed=S] [--idle-seconds=S] [--gap-min-ms=MS]\n"
    "                      [--gap-max-ms=MS] [--key-timeout-ms=MS] [--watchers=LIST]\n"
    "                      [--launcher-delays=LIST] [--desktop-seconds=S] [--shape-openings=N]\n"
    "                      [--exe-dir=DIR] [--screenshot-dir=DIR]\n"
    "  --openings        openings of the dialog per watcher (default 100)\n"
    "  --seed            seed of the random gaps; every watcher gets the same ones (1)\n"
    "  --idle-seconds    idle period per watcher, no dialog open (60)\n"
    "  --gap-min-ms/--gap-max-ms  the gap before each opening and each closing (20, 200)\n"
    "  --key-timeout-ms  an opening without the key by then counts as missed (2000)\n"
    "  --watchers        any of busy,sleep,dormello,dormello-stock, comma-separated\n"
    "                    (busy,sleep,dormello)\n"
    "  --launcher-delays volume control delays for the launcher runs, comma-separated;\n"
    "                    empty for none (2000,0)\n"
    "  --desktop-seconds the busy-desktop runs: each span measured under window churn\n"
    "                    and idle among 10 and 1000 windows; 0 for none (20)\n"
    "  --shape-openings  openings of each shape no event announces under Wine (10)\n"
    "  --screenshot-dir  where bench-table.md and openings.csv are written\n";

const bench::WatcherKind kBusy{"busy loop", "busy", L"bench_busy_watcher.exe", {L"R"}};
const bench::WatcherKind kSleep{"sleep 100 ms", "sleep", L"bench_sleep_watcher.exe", {L"R"}};
const bench::WatcherKind kDormello{"dormello32", "dormello", L"dormello32.exe", {L"R,TRUE"}};
// The same sources built with Debian's stock win32 toolchain (for the Pentium Pro), beside
// the release's 80486 build; tools/bench.sh puts it in the exe folder when named.
const bench::WatcherKind kDormelloStock{
    "dormello32, stock toolchain", "dormello-stock", L"dormello32-stock.exe", {L"R,TRUE"}};
// --watchers names them by their slugs.
const bench::WatcherKind kWatchers[] = {kBusy, kSleep, kDormello, kDormelloStock};

struct Options {
    bench::WatcherPlan plan;
    std::vector<bench::WatcherKind> watchers{kBusy, kSleep, kDormello};
    std::vector<DWORD> launcherDelays{2000, 0};
    double desktopSeconds = 20;
    bench::DesktopPlan desktop;
};

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if (!item.empty()) {
            items.emplace_back(item);
        }
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return items;
}

bool ParseNumber(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && value >= 0;
}

// Reads the options; false (having said why) for a bad one.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : arg.substr(equals + 1);
        double number = 0;
        const bool numeric = ParseNumber(value, number);
        if (name == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (name == "--openings" && numeric && number >= 1) {
            options.plan.openings = static_cast<int>(number);
        } else if (name == "--seed" && numeric) {
            options.plan.seed = static_cast<unsigned>(number);
        } else if (name == "--idle-seconds" && numeric) {
            options.plan.idleSeconds = number;
        } else if (name == "--gap-min-ms" && numeric) {
            options.plan.gapMinMs = static_cast<int>(number);
        } else if (name == "--gap-max-ms" && numeric) {
            options.plan.gapMaxMs = static_cast<int>(number);
        } else if (name == "--key-timeout-ms" && numeric && number >= 1) {
            options.plan.keyTimeout = e2e::Millis(static_cast<long long>(number));
        } else if (name == "--desktop-seconds" && numeric) {
            options.desktopSeconds = number;
        } else if (name == "--shape-openings" && numeric) {
            options.desktop.shapeOpenings = static_cast<int>(number);
        } else if (name == "--watchers") {
            options.watchers.clear();
            for (const auto& item : SplitList(value)) {
                const auto kind = std::ranges::find(kWatchers, item, &bench::WatcherKind::slug);
                if (kind == std::ranges::end(kWatchers)) {
                    std::fprintf(stderr, "quintaro_bench: unknown watcher \"%s\"\n", item.c_str());
                    return false;
                }
                options.watchers.push_back(*kind);
            }
        } else if (name == "--launcher-delays") {
            options.launcherDelays.clear();
            for (const auto& item : SplitList(value)) {
                double delay = 0;
                if (!ParseNumber(item, delay)) {
                    std::fprintf(stderr, "quintaro_bench: bad delay \"%s\"\n", item.c_str());
                    return false;
                }
                options.launcherDelays.push_back(static_cast<DWORD>(delay));
            }
        } else {
            std::fprintf(stderr, "quintaro_bench: bad option %s\n%s", argv[i], kUsage);
            return false;
        }
    }
    if (options.plan.gapMaxMs < options.plan.gapMinMs) {
        std::fprintf(stderr, "quintaro_bench: --gap-max-ms is below --gap-min-ms\n");
        return false;
    }
    return true;
}

// The Linux load average when the harness runs under Wine (drive Z: is the Linux root).
std::string LoadAverage() {
    if (!bench::UnderWine()) {
        return "";
    }
    const std::string text = e2e::ReadBytes(L"Z:\\proc\\loadavg").value_or("");
    // The first three fields: the 1, 5 and 15 minute averages.
    std::size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field) {
        end = text.find(' ', end + (field > 0 ? 1 : 0));
    }
    return text.substr(0, end);
}

std::string Conditions(const Options& options) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    char line[512];
    std::snprintf(line, sizeof(line),
                  "- run at %04u-%02u-%02u %02u:%02u; %s; %lu processors; load average at the "
                  "start %s\n"
                  "- %d openings per watcher, seed %u, gaps %d–%d ms, key timeout %lld ms, idle "
                  "period %.0f s\n",
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  bench::UnderWine() ? bench::WineVersion().c_str() : "Windows",
                  system.dwNumberOfProcessors, LoadAverage().c_str(), options.plan.openings,
                  options.plan.seed, options.plan.gapMinMs, options.plan.gapMaxMs,
                  static_cast<long long>(options.plan.keyTimeout.count()),
                  options.plan.idleSeconds);
    return line + ("- " + bench::CpuSourceNote() + "\n");
}

void WriteOutput(const std::wstring& name, const std::string& text) {
    const std::wstring folder = e2e::Env().screenshotDir;
    if (folder.empty()) {
        return;
    }
    const std::wstring path = folder + L"\\" + name;
    if (e2e::WriteBytes(path, text)) {
        std::printf("bench: wrote %s\n", e2e::ToUtf8(path).c_str());
    } else {
        std::fprintf(stderr, "bench: could not write %s\n", e2e::ToUtf8(path).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    options.plan.outputFolder = e2e::Env().screenshotDir;
    const std::string conditions = Conditions(options);
    std::printf("bench: conditions\n%s", conditions.c_str());
    std::fflush(stdout);

    std::vector<bench::WatcherResult> watchers;
    for (const auto& kind : options.watchers) {
        watchers.push_back(bench::BenchWatcher(kind, options.plan));
    }
    std::optional<bench::DesktopResult> desktop;
    if (options.desktopSeconds > 0) {
        options.desktop.churnSeconds = options.desktopSeconds;
        options.desktop.idleSeconds = options.desktopSeconds;
        options.desktop.seed = options.plan.seed;
        desktop = bench::BenchDesktop(options.desktop);
    }
    std::vector<bench::LauncherResult> launcher;
    for (const DWORD delay : options.launcherDelays) {
        bench::LauncherPlan plan;
        plan.volumeControlDelayMs = delay;
        plan.outputFolder = e2e::Env().screenshotDir;
        launcher.push_back(bench::BenchLauncher(plan));
    }

    std::string report = "## Conditions\n\n" + conditions + "- load average at the end " +
                         LoadAverage() + "\n\n## Watchers\n\n" +
                         bench::WatcherTable(watchers, kBusy.name);
    if (desktop) {
        report += "\n## A busy desktop\n\n" + bench::DesktopTable(options.desktop, *desktop);
    }
    if (!launcher.empty()) {
        report += "\n## Launcher\n\n" + bench::LauncherTable(launcher);
    }
    std::printf("\n===== quintaro_bench results =====\n\n%s\n", report.c_str());
    std::fflush(stdout);
    WriteOutput(L"bench-table.md", report);
    WriteOutput(L"openings.csv", bench::OpeningsCsv(watchers));

    bool failed = false;
    for (const auto& result : watchers) {
        failed = failed || !result.error.empty();
    }
    for (const auto& result : launcher) {
        failed = failed || !result.error.empty();
    }
    failed = failed || (desktop && !desktop->error.empty());
    return failed ? 1 : 0;
}
