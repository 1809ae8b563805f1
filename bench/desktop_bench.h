#pragma once
// What the preselector's watching costs on a busy desktop, and how soon it answers the
// dialog shapes whose moment no event announces under Wine:
// - window churn: a desktop that destroys a window and makes it anew hundreds of times a
//   second, the preselector beside the event floor (bench/event_floor.cpp), a program
//   that hooks the same events and looks at nothing, both measured over the same span;
// - idle among few and among many windows, one after the other;
// - a dialog that takes its title while in front, and one shown behind and brought to
//   the front by its program within its first moments: latency from that moment to the
//   key.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/driver/wait.h"

namespace bench {

struct DesktopPlan {
    int churnWindows = 200;
    int churnPerSecond = 285;
    double churnSeconds = 15;
    std::vector<int> crowds{10, 1000};
    double idleSeconds = 20;
    int shapeOpenings = 10;  // of each shape
    unsigned seed = 1;
    e2e::Millis keyTimeout{2000};
    e2e::Millis startTimeout{30000};
};

// One program over one span.
struct Span {
    std::optional<double> cpuSeconds;
    std::optional<double> serverCpuSeconds;  // the prefix's wineserver, all of it
    std::optional<long long> wakes;          // see WakesSoFar
    double wallSeconds = 0;
};

struct ShapeLatencies {
    std::string name;
    int openings = 0;
    std::vector<double> latenciesMs;  // of the answered ones
    int keysWhileNotInFront = 0;
};

struct DesktopResult {
    std::string error;  // empty when the run went through
    Span churnDormello;
    Span churnFloor;
    double churnMadePerSecond = 0;
    std::vector<std::pair<int, Span>> idleAmong;  // windows on the desktop, the span
    std::vector<ShapeLatencies> shapes;
};

DesktopResult BenchDesktop(const DesktopPlan& plan);
std::string DesktopTable(const DesktopPlan& plan, const DesktopResult& result);

}  // namespace bench
