#include "common/text.h"
#include "preselector/frm_dormello.h"
#include "preselector/frm_dormellos.h"
#include "preselector/preselector.h"
#include "preselector/settings.h"
#include "preselector/texts.h"

namespace preselector {

Preselector::Preselector(desktop::PlatformShell& s)
    : shell(s), mainWindow(std::make_unique<frmDormello>(*this)) {}

Preselector::~Preselector() = default;

// A command line is a key character, optionally a comma and a flag word: "S,TRUE".
void Preselector::ReadCommandLine(std::u16string& flag) {
    g.CommandText = common::TrimSpaces(shell.CommandLineText());
    if (g.CommandText.empty()) return;
    // The first character is the key, whatever it is; nothing else is validated.
    g.ShortcutKey = shell.UpperCase(g.CommandText.substr(0, 1));
    const auto comma = g.CommandText.find(u',');
    if (comma != std::u16string::npos) {
        flag = shell.UpperCase(common::TrimSpaces(g.CommandText.substr(comma + 1)));
        g.HideWindow = (flag == u"TRUE");
    }
}

void Preselector::StartUp() {
    std::u16string flag;
    ReadCommandLine(flag);
    g.SettingsPath = SettingsPathIn(shell.CurrentDirectory());

    // A flag on the command line, whatever its word, overrides the file.
    if (flag.empty()) {
        g.HideWindow =
            ReadsAsTrue(shell, ReadSetting(shell, g.SettingsPath, kSettingsSection, kHideKey));
    }
    // The file's key is consulted only when the command line gave none.
    if (g.ShortcutKey.empty()) {
        const auto value = ReadSetting(shell, g.SettingsPath, kSettingsSection, kOptionKey);
        if (value.size() == 1) {
            g.ShortcutKey = shell.UpperCase(value);
        } else {
            shell.ShowMessage(std::u16string(kInvalidOptionPrompt) + g.SettingsPath,
                              desktop::kStyleCriticalOk, kMessageTitle);
            ShowOptionsDialog(nullptr);
            if (g.ShortcutKey.empty()) {
                shell.Beep();
                shell.EndProgram();
            }
        }
    }
    shell.Show(*mainWindow);
}

void Preselector::ShowOptionsDialog(desktop::Form* owner) {
    frmDormellos dialog(*this);
    shell.ShowModal(dialog, owner);
}

}  // namespace preselector
