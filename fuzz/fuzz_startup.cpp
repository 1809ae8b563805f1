// Fuzz target: the preselector's start-up from an arbitrary command line and settings
// file, on the simulated desktop.
//
// Input: the command line in UTF-8 (decoded by common::FromUtf8), then a NUL byte, then
// the bytes of QUINTARO.INI. Without a NUL the whole input is the command line and
// there is no settings file.
//
// The scripted user answers whatever is up: a message box with OK (No for a yes/no
// one), the options dialog with Esc. After a few such steps the shutdown dialog opens,
// and then the script ends, which ends the run. Properties:
//  - nothing escapes Preselector::StartUp but the end of the run (no DesktopError,
//    no other exception), and the run ends (a hang is a libFuzzer timeout);
//  - the key in force is empty or one character;
//  - start-up never writes: the settings file is byte for byte as it was, and the
//    folder holds nothing new (no file when there was none);
//  - a message box is titled "Tobrin's Utilities" and names the settings file;
//  - the shutdown dialog gets exactly one Alt+key when the program runs with a key,
//    and nothing when it has none or has ended.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"
#include "desktop/key_strokes.h"
#include "desktop/sim/simulated_desktop.h"
#include "fuzz_support.h"
#include "preselector/preselector.h"

namespace {

using fuzz_support::Escaped;
using fuzz_support::Require;
namespace sim = desktop::sim;

constexpr std::u16string_view kDialog = u"Shut Down Windows";
constexpr std::u16string_view kSettingsPath = u"C:\\TOOLS\\QUINTARO.INI";
constexpr int kAnswerSteps = 4;

bool MessageUp(const sim::SimulatedDesktop& d) {
    return !d.Messages().empty() && d.Messages().back().answer == 0;
}

// The user deals with whatever the program put up; nothing happens when nothing is up.
sim::Step AnswerWhateverIsUp() {
    return {"answer whatever is up", [](sim::SimulatedDesktop& d) {
                if (MessageUp(d)) {
                    const bool yesNo = d.Messages().back().style == desktop::kStyleQuestionYesNo;
                    sim::Answer(yesNo ? desktop::kAnswerNo : desktop::kAnswerOk).apply(d);
                } else if (d.FormByName("frmDormellos") != nullptr) {
                    sim::PressEscape("frmDormellos").apply(d);
                }
            }};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz_support::ScratchFolder scratch;

    const std::string_view input = fuzz_support::AsText(data, size);
    const auto nul = input.find('\0');
    const bool fileExists = nul != std::string_view::npos;
    const std::u16string commandLine = common::FromUtf8(input.substr(0, nul));
    const std::string settings(fileExists ? input.substr(nul + 1) : std::string_view());

    scratch.Clear();
    const auto file = scratch.Path() / "QUINTARO.INI";
    if (fileExists) fuzz_support::WriteFile(file, settings);
    const std::string what = "command line: " + Escaped(common::ToUtf8(commandLine)) +
                             "\nsettings: " + (fileExists ? Escaped(settings) : "(no file)");

    sim::SimulatedDesktop desktop;
    desktop.MapFolder(u"C:\\TOOLS", scratch.Path());
    desktop.SetCurrentDirectory(u"C:\\TOOLS");
    desktop.SetCommandLine(commandLine);
    for (int i = 0; i < kAnswerSteps; ++i) desktop.Then(AnswerWhateverIsUp());
    desktop.Then(sim::OpenWindow(std::u16string(kDialog)));

    preselector::Preselector app(desktop);
    bool endedItself = false;
    try {
        endedItself = desktop.Run([&] { app.StartUp(); });
    } catch (const std::exception& e) {
        fuzz_support::Broken("nothing escapes start-up",
                             what + "\n" + e.what() + "\n" + desktop.Describe());
    }
    const std::string report = what + "\n" + desktop.Describe();

    Require(endedItself || desktop.ScriptDone(),
            "a program that keeps running waits through the whole script", report);
    Require(app.g.ShortcutKey.size() <= 1, "the key is empty or one character", report);
    Require(fileExists ? fuzz_support::ReadFile(file) == settings : !std::filesystem::exists(file),
            "start-up leaves the settings file as it was", report);
    Require(scratch.EntryCount() == (fileExists ? 1U : 0U), "start-up leaves nothing behind",
            report);
    for (const auto& box : desktop.Messages()) {
        Require(box.title == u"Tobrin's Utilities", "a message is titled Tobrin's Utilities",
                report);
        Require(box.prompt.find(kSettingsPath) != std::u16string::npos,
                "a message names the settings file", report);
    }

    const std::u16string& key = app.g.ShortcutKey;
    const bool sends = !endedItself && !key.empty();
    const std::u16string expected = sends ? u"%" + desktop::LiteralKey(key[0]) : u"";
    Require(desktop.KeysReceivedBy(kDialog) == expected,
            "the shutdown dialog gets one Alt+key, or nothing without a key", report);
    Require(desktop.Typed().size() == (sends ? 1U : 0U), "no keys go anywhere else", report);
    return 0;
}
