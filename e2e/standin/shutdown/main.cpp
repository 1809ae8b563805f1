// Stand-in for the system's shutdown dialog, driven by the end-to-end tests: a real
// dialog whose dialog manager acts on every key, opened in the shapes real dialogs take.
// The command line, the commands and the log are described in protocol.h.
#include "e2e/standin/arguments.h"
#include "e2e/standin/key_logger.h"
#include "e2e/standin/line_log.h"
#include "e2e/standin/shutdown/control_window.h"
#include "e2e/standin/shutdown/other_windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace standin;
    Arguments arguments = Arguments::OfThisProgram();
    const bool german = arguments.Flag(L"german");
    const bool symbols = arguments.Flag(L"symbols");
    const bool bystander = arguments.Flag(L"bystander");
    const LineLog log(arguments.Text(L"log").value_or(L""));
    log("start")
        .Number("qpf", CounterFrequency())
        .Word("lang", german ? "de" : (symbols ? "symbols" : "en"))
        .Number("bystander", bystander ? 1 : 0);
    // Before the first window: no key message goes unlogged.
    const KeyLogger keys(log);
    OtherWindows others(instance, log);
    ControlWindow control({.instance = instance, .german = german, .symbols = symbols, .log = &log},
                          others);
    if (!control.Create() || (bystander && !others.CreateBystander())) {
        return 1;
    }
    return RunMessageLoop();
}
