#include "preselector/frm_dormellos.h"

#include "common/text.h"
#include "preselector/preselector.h"
#include "preselector/settings.h"
#include "preselector/texts.h"

namespace preselector {

using desktop::ControlKind;
using desktop::FontSpec;
using desktop::TextAlign;

namespace {

constexpr desktop::Rgb kLightGrey{192, 192, 192};
const FontSpec kLabelFont{u"MS Sans Serif", 9.75, false};

const desktop::FormLayout kLayout{
    .name = "frmDormellos",
    .caption = u"Change Shutdown Options",
    .border = desktop::BorderStyle::FixedDialog,
    .minButton = false,
    .maxButton = false,
    .showInTaskbar = false,
    .appIcon = false,
    .clientWidth = 4530,
    .clientHeight = 2520,
    .clientPosition = std::nullopt,  // centred on the owner, or on the screen
    .background = kLightGrey,
    .controls =
        {
            {.name = "lblShutdown",
             .kind = ControlKind::Label,
             .content = u"Shutdown Shortcut Key:",
             .rect = {180, 360, 2775, 315},
             .align = TextAlign::Right,
             .font = kLabelFont,
             .background = kLightGrey},
            {.name = "txtShutDownOption",
             .kind = ControlKind::TextBox,
             .content = u"?",
             .rect = {3060, 360, 375, 315},
             .align = TextAlign::Centre,
             .font = FontSpec{u"MS Sans Serif", 8.25, true},
             .maxLength = 1},
            {.name = "chkHideIcon",
             .kind = ControlKind::CheckBox,
             .content = u"Hide Icon:",
             .rect = {2040, 960, 1395, 495},
             .font = kLabelFont,
             .boxRight = true,
             .background = kLightGrey},
            {.name = "cmdSave",
             .kind = ControlKind::Button,
             .content = u"&Save",
             .rect = {2460, 1800, 1695, 495},
             .isDefault = true},
            {.name = "cmdCancel",
             .kind = ControlKind::Button,
             .content = u"&Cancel",
             .rect = {360, 1800, 1695, 495},
             .isCancel = true},
        },
    .tabOrder = {"txtShutDownOption", "chkHideIcon", "cmdSave", "cmdCancel"},
};

}  // namespace

frmDormellos::frmDormellos(Preselector& app) : Form(app.shell), app_(app) {}

const desktop::FormLayout& frmDormellosLayout() { return kLayout; }

const desktop::FormLayout& frmDormellos::Layout() const { return frmDormellosLayout(); }

void frmDormellos::Form_Load() {
    Window().SetValue("chkHideIcon", app_.g.HideWindow ? 1 : 0);
    // A key from the command line the file cannot hold works for the session, but the
    // box shows it only if Save could write it.
    const auto& key = app_.g.ShortcutKey;
    accepted_ = Shell().AnsiCodePageHolds(key) ? key : u"";
    Window().SetText("txtShutDownOption", accepted_);
}

void frmDormellos::OnClick(std::string_view control) {
    if (control == "cmdSave") cmdSave_Click();
    if (control == "cmdCancel") cmdCancel_Click();
}

void frmDormellos::OnChange(std::string_view control) {
    if (control == "txtShutDownOption") txtShutDownOption_Change();
}

void frmDormellos::txtShutDownOption_Change() {
    // Assigning the upper-cased text raises Change once more, and that second run
    // assigns the same text, which raises nothing.
    auto& window = Window();
    // Checked upper-cased: the capital of a character the file holds may be one it does
    // not (f with hook, say).
    const auto upper = Shell().UpperCase(window.Text("txtShutDownOption"));
    if (Shell().AnsiCodePageHolds(upper)) accepted_ = upper;
    window.SetText("txtShutDownOption", accepted_);
}

void frmDormellos::cmdSave_Click() {
    auto& g = app_.g;
    const bool hide = Window().Value("chkHideIcon") != 0;
    g.HideWindow = hide;
    g.ShortcutKey = Window().Text("txtShutDownOption");
    // Both values take effect whether or not the file takes them; a failed write is
    // told, so the user knows they will not survive a restart.
    const bool hideSaved = WriteSetting(Shell(), g.SettingsPath, kSettingsSection, kHideKey,
                                        hide ? u"True" : u"False");
    const bool optionSaved =
        WriteSetting(Shell(), g.SettingsPath, kSettingsSection, kOptionKey, g.ShortcutKey);
    if (!hideSaved || !optionSaved) {
        Shell().ShowMessage(
            std::u16string(kSaveFailedPrompt) + g.SettingsPath + std::u16string(kSaveFailedDetail),
            desktop::kStyleCriticalOk, kMessageTitle);
    }
    Shell().Unload(*this);
}

void frmDormellos::cmdCancel_Click() { Shell().Unload(*this); }

}  // namespace preselector
