// How often the idle preselector wakes, on the simulated desktop: once made to report
// every change (as Windows 98 and 2000 on do), once only window creation (as Wine 8).
// Waits are counted, not timed, so the figures are exact. Prints one Markdown table.
#include <cstdio>
#include <filesystem>

#include "desktop/sim/simulated_desktop.h"
#include "preselector/preselector.h"

namespace {

using namespace std::chrono_literals;
namespace sim = desktop::sim;

constexpr auto kIdle = 10min;

// Wakes per idle minute after an ordinary start: a window opens, takes the front, is renamed.
double WakesPerIdleMinute(bool creationOnly, const std::filesystem::path& folder) {
    sim::SimulatedDesktop desktop;
    desktop.MapFolder(u"C:\\TOOLS", folder);
    desktop.SetCurrentDirectory(u"C:\\TOOLS");
    desktop.SetCommandLine(u"R,TRUE");
    if (creationOnly) desktop.ReportCreationOnly();
    int before = 0;
    desktop.Then(sim::OpenWindow(u"Notepad"))
        .Then(sim::RenameWindow(u"Notepad", u"notes.txt - Notepad").After(100ms))
        .Then({"idle from here", [&](auto& d) { before = d.Waits(); }})
        .Then(sim::Idle(kIdle));
    preselector::Preselector app(desktop);
    desktop.Run([&] { app.StartUp(); });
    return (desktop.Waits() - before) /
           std::chrono::duration<double, std::ratio<60>>(kIdle).count();
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "quintaro-bench-sim";
    std::filesystem::create_directories(folder);
    std::printf("| simulated desktop | wakes per idle minute |\n|---|---|\n");
    std::printf("| reports every change | %.1f |\n", WakesPerIdleMinute(false, folder));
    std::printf("| reports window creation alone | %.1f |\n", WakesPerIdleMinute(true, folder));
    std::filesystem::remove_all(folder);
    return 0;
}
