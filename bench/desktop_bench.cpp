#include "bench/desktop_bench.h"

#include <exception>
#include <random>
#include <stdexcept>

#include "bench/clock.h"
#include "bench/dialog_tracker.h"
#include "bench/process_cpu.h"
#include "bench/report.h"
#include "e2e/driver/busy_desktop.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/event_log.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/windows.h"

namespace bench {

namespace {

const char kName[] = "desktop";
// For the watcher to have settled into waiting once it is up.
constexpr DWORD kSettleMs = 2000;

struct Watched {
    const e2e::Process* process;
    std::string exeName;
};

// Starts `exe` and waits until it has a top-level window.
e2e::Process StartUp(const std::wstring& exe, const std::vector<std::wstring>& args,
                     const std::wstring& folder, const DesktopPlan& plan) {
    auto process = e2e::Process::Start(e2e::ExePath(exe), args, folder);
    if (!e2e::WaitUntil([&] { return !e2e::TopLevelWindows(process.Pid()).empty(); },
                        plan.startTimeout)) {
        throw std::runtime_error(e2e::ToUtf8(exe) + " showed no window within the start timeout");
    }
    return process;
}

// Each program's CPU and wakes over the same `seconds`.
std::vector<Span> Measure(const std::vector<Watched>& programs, double seconds) {
    std::vector<Span> spans(programs.size());
    std::vector<std::optional<double>> cpu;
    std::vector<std::optional<long long>> wakes;
    for (const auto& program : programs) {
        cpu.push_back(CpuSeconds(program.process->Handle(), program.process->Pid()));
        wakes.push_back(WakesSoFar(program.exeName));
    }
    const auto server = WineserverCpuSeconds();
    const double start = SecondsNow();
    // The span measured: nothing else is to happen in it.
    Sleep(static_cast<DWORD>(seconds * 1000));
    const double wall = SecondsNow() - start;
    const auto serverAfter = WineserverCpuSeconds();
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const auto& program = programs[i];
        if (!program.process->Running()) {
            throw std::runtime_error(program.exeName + " ended during the measurement");
        }
        spans[i].cpuSeconds =
            Difference(cpu[i], CpuSeconds(program.process->Handle(), program.process->Pid()));
        const auto wakesAfter = WakesSoFar(program.exeName);
        if (wakes[i] && wakesAfter) spans[i].wakes = *wakesAfter - *wakes[i];
        spans[i].serverCpuSeconds = Difference(server, serverAfter);
        spans[i].wallSeconds = wall;
    }
    return spans;
}

double MadePerSecond(const std::wstring& log) {
    const auto lines = e2e::EventLog(log).Lines("churn");
    if (lines.size() < 2) {
        return 0;
    }
    const auto& first = lines.front();
    const auto& last = lines.back();
    const double made = std::stod(last.Field("made")) - std::stod(first.Field("made"));
    return made / (e2e::TicksToMillis(last.ticks - first.ticks) / 1000.0);
}

void Churn(const DesktopPlan& plan, DesktopResult& result) {
    const std::wstring folder = e2e::NewScratchFolder(L"bench-churn");
    Say(kName, "churn: " + std::to_string(plan.churnWindows) + " windows, " +
                   std::to_string(plan.churnPerSecond) + " made a second");
    auto desktop =
        e2e::StartBusyDesktop(plan.churnWindows, plan.churnPerSecond, folder, plan.startTimeout);
    auto dormello = StartUp(L"dormello32.exe", {L"R,TRUE"}, folder, plan);
    auto floor = StartUp(L"bench_event_floor.exe", {}, folder, plan);
    Sleep(kSettleMs);
    const auto spans = Measure({{&dormello, "dormello32.exe"}, {&floor, "bench_event_floor.exe"}},
                               plan.churnSeconds);
    result.churnDormello = spans[0];
    result.churnFloor = spans[1];
    result.churnMadePerSecond = MadePerSecond(folder + L"\\desktop.log");
}

void IdleAmong(const DesktopPlan& plan, DesktopResult& result) {
    for (const int windows : plan.crowds) {
        const std::wstring folder = e2e::NewScratchFolder(L"bench-crowd");
        Say(kName, "idle among " + std::to_string(windows) + " windows");
        auto desktop = e2e::StartBusyDesktop(windows, 0, folder, plan.startTimeout);
        auto dormello = StartUp(L"dormello32.exe", {L"R,TRUE"}, folder, plan);
        Sleep(kSettleMs);
        result.idleAmong.emplace_back(
            windows, Measure({{&dormello, "dormello32.exe"}}, plan.idleSeconds).front());
    }
}

// Opens each shape `shapeOpenings` times; the latency runs from the line `from` (the
// moment the dialog can first be answered) to the key.
void Shapes(const DesktopPlan& plan, DesktopResult& result) {
    const std::wstring folder = e2e::NewScratchFolder(L"bench-shapes");
    auto standIn = e2e::ShutdownStandIn::Start(folder);
    DialogTracker tracker(standIn.Log().Path(), standIn.DialogTitle(), 'R');
    auto dormello = StartUp(L"dormello32.exe", {L"R,TRUE"}, folder, plan);
    if (!OpenAndWaitForKey(standIn, tracker, plan.startTimeout)) {
        throw std::runtime_error("the preselector did not answer a first dialog");
    }
    Close(standIn);
    std::mt19937 random(plan.seed);
    std::uniform_int_distribution<int> titledAfter(50, 1500);
    struct Kind {
        const char* name;
        const char* from;
    };
    for (const Kind kind : {Kind{"titled while in front, 50–1500 ms after it opened", "retitle"},
                            Kind{"brought forward 600 ms after it was shown", "forward"}}) {
        ShapeLatencies shape{.name = kind.name};
        Say(kName, kind.name);
        for (int i = 0; i < plan.shapeOpenings; ++i) {
            const std::wstring open = std::string(kind.from) == "retitle"
                                          ? L"open titled=" + std::to_wstring(titledAfter(random))
                                          : L"open forward=600";
            const bool answered =
                OpenAndWaitForKey(standIn, tracker, e2e::Millis{1600} + plan.keyTimeout, open);
            Close(standIn);
            tracker.Update();
            ++shape.openings;
            shape.keysWhileNotInFront += static_cast<int>(tracker.Last().keysWhileInactive.size());
            const auto from = tracker.LastOf(kind.from);
            if (answered && from && tracker.Key() != nullptr) {
                shape.latenciesMs.push_back(e2e::TicksToMillis(tracker.Key()->ticks - *from));
            }
        }
        result.shapes.push_back(shape);
    }
}

std::string Cell(std::optional<double> value, const char* format, double scale = 1) {
    if (!value) {
        return "—";
    }
    char text[64];
    std::snprintf(text, sizeof(text), format, *value * scale);
    return text;
}

std::optional<double> PerMinute(const Span& span, std::optional<double> value) {
    if (!value || span.wallSeconds <= 0) {
        return std::nullopt;
    }
    return *value * 60.0 / span.wallSeconds;
}

std::optional<double> AsDouble(std::optional<long long> value) {
    return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
}

std::optional<double> Ratio(std::optional<double> a, std::optional<double> b) {
    return a && b && *b > 0 ? std::optional<double>(*a / *b) : std::nullopt;
}

}  // namespace

DesktopResult BenchDesktop(const DesktopPlan& plan) {
    DesktopResult result;
    try {
        Churn(plan, result);
        IdleAmong(plan, result);
        Shapes(plan, result);
    } catch (const std::exception& error) {
        result.error = error.what();
        Say(kName, "failed: " + result.error);
    }
    return result;
}

std::string DesktopTable(const DesktopPlan& plan, const DesktopResult& result) {
    std::string table;
    if (!result.error.empty()) {
        table += "**The run failed:** " + result.error + "\n\n";
    }
    char line[256];
    std::snprintf(line, sizeof(line),
                  "Window churn: %d windows, one destroyed and made anew %d times a second "
                  "(%.0f made a second measured), over %.0f s:\n\n",
                  plan.churnWindows, plan.churnPerSecond, result.churnMadePerSecond,
                  plan.churnSeconds);
    table += line;
    table += "| program | CPU, s | share of a core | wakes | wineserver CPU, s (all of it) |\n";
    table += "|---|---|---|---|---|\n";
    for (const auto& [name, span] : {std::pair{"dormello32", &result.churnDormello},
                                     std::pair{"event floor", &result.churnFloor}}) {
        table += std::string("| ") + name + " | " + Cell(span->cpuSeconds, "%.2f") + " | " +
                 Cell(Ratio(span->cpuSeconds, span->wallSeconds), "%.1f%%", 100) + " | " +
                 Cell(AsDouble(span->wakes), "%.0f") + " | " +
                 Cell(span->serverCpuSeconds, "%.2f") + " |\n";
    }
    table += "| dormello32 ÷ event floor | " +
             Cell(Ratio(result.churnDormello.cpuSeconds, result.churnFloor.cpuSeconds), "×%.2f") +
             " | | | |\n\n";

    table += "Idle among windows (a quarter of them visible), no dialog:\n\n";
    table +=
        "| windows | CPU, s per idle minute | wakes per idle minute | wineserver CPU, s per "
        "idle minute |\n|---|---|---|---|\n";
    for (const auto& [windows, span] : result.idleAmong) {
        table += "| " + std::to_string(windows) + " | " +
                 Cell(PerMinute(span, span.cpuSeconds), "%.3f") + " | " +
                 Cell(PerMinute(span, AsDouble(span.wakes)), "%.0f") + " | " +
                 Cell(PerMinute(span, span.serverCpuSeconds), "%.3f") + " |\n";
    }
    if (result.idleAmong.size() >= 2) {
        table += "| most ÷ fewest | " +
                 Cell(Ratio(result.idleAmong.back().second.cpuSeconds,
                            result.idleAmong.front().second.cpuSeconds),
                      "×%.2f") +
                 " | " +
                 Cell(Ratio(AsDouble(result.idleAmong.back().second.wakes),
                            AsDouble(result.idleAmong.front().second.wakes)),
                      "×%.2f") +
                 " | |\n";
    }
    table += "\nShapes no event announces under Wine, latency from that moment to the key:\n\n";
    table += "| shape | answered | p50 | max | keys while not in front |\n|---|---|---|---|---|\n";
    for (const auto& shape : result.shapes) {
        const double p50 = Percentile(shape.latenciesMs, 0.5);
        const double most = Percentile(shape.latenciesMs, 1.0);
        std::snprintf(line, sizeof(line), "| %s | %zu/%d | %.1f ms | %.1f ms | %d |\n",
                      shape.name.c_str(), shape.latenciesMs.size(), shape.openings, p50, most,
                      shape.keysWhileNotInFront);
        table += line;
    }
    return table;
}

}  // namespace bench
