// The first run a newcomer sees: the preselector started with the key R, a stand-in
// shutdown dialog opened, and in plain words what happened, with pictures.
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "e2e/driver/environment.h"
#include "e2e/driver/event_log.h"
#include "e2e/driver/process.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace {

using e2e::LogLine;

constexpr e2e::Millis kPatience{20000};
const wchar_t* const kOptions[] = {L"Shut down the computer?", L"Restart the computer?",
                                   L"Restart the computer in MS-DOS mode?"};

void Say(const std::string& line) {
    std::printf("demo: %s\n", line.c_str());
    std::fflush(stdout);
}

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

HWND WaitForVisible(const std::wstring& title, DWORD pid) {
    HWND window = nullptr;
    e2e::WaitUntil([&] { return (window = e2e::FindTopLevel(title, pid, true)) != nullptr; },
                   kPatience);
    return window;
}

void Picture(const std::wstring& name, HWND window, const std::string& what) {
    const auto path = e2e::Screenshot(name, window);
    if (!path.empty()) Say("picture of " + what + ": " + e2e::ToUtf8(name) + ".png");
}

int Run() {
    const std::wstring folder = e2e::NewScratchFolder(L"demo");
    auto standIn = e2e::ShutdownStandIn::Start(folder);
    Say("starting dormello32.exe with the command line R (Alt+R picks \"Restart\")");
    auto dormello = e2e::Process::Start(e2e::ExePath(L"dormello32.exe"), {L"R"}, folder);
    HWND main = WaitForVisible(L"Dormello", dormello.Pid());
    if (main == nullptr) Fail("the preselector's window did not appear");
    Say("its window says: " + e2e::ToUtf8(e2e::StaticTexts(main).back()));
    Picture(L"main_window", main, "the preselector's window");

    Say("opening the stand-in \"Shut Down Windows\" dialog (\"Shut down\" selected)");
    if (standIn.Command(L"open") != 1) Fail("the stand-in would not open its dialog");
    const auto shown =
        standIn.Log().WaitFor([](const LogLine& l) { return l.event == "shown"; }, kPatience);
    const auto key = standIn.Log().WaitFor(
        [](const LogLine& l) { return l.event == "key" && l.Field("msg") == "WM_SYSCHAR"; },
        kPatience);
    if (!shown || !key) Fail("no key reached the dialog:\n" + standIn.Log().Text());
    if (!standIn.WaitForSelection(1, kPatience)) Fail("Restart did not become selected");

    const double ms = e2e::TicksToMillis(key->ticks - shown->ticks);
    const auto selected = standIn.Command(L"selection");
    char line[200];
    std::snprintf(line, sizeof line, "Alt+%s arrived in the dialog %.1f ms after it was shown",
                  key->Field("char").c_str(), ms);
    Say(line);
    Say("the dialog now has \"" +
        e2e::ToUtf8(selected >= 0 && selected < 3 ? kOptions[selected] : L"?") + "\" selected");
    Picture(L"shutdown_dialog_answered", standIn.Dialog(), "the answered shutdown dialog");

    Say("opening the options dialog with Change Options");
    if (auto button = e2e::FindControl(main, L"&Change Options")) {
        standIn.Command(L"close");
        e2e::PressButton(button->handle);
        HWND options = WaitForVisible(L"Change Shutdown Options", dormello.Pid());
        if (options != nullptr) Picture(L"options_dialog", options, "the options dialog");
    }
    Say("done; ending the programs it started");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    try {
        return Run();
    } catch (const std::exception& e) {
        Say(std::string("FAILED: ") + e.what());
        return 1;
    }
}
