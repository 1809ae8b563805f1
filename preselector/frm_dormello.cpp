#include "preselector/frm_dormello.h"

#include <algorithm>

#include "common/text.h"
#include "desktop/recheck_pacing.h"
#include "preselector/preselector.h"
#include "preselector/texts.h"

namespace preselector {

using desktop::ControlKind;
using desktop::FontSpec;
using desktop::TextAlign;

namespace {

const FontSpec kLargeFont{u"MS Sans Serif", 12, false};

const desktop::FormLayout kLayout{
    .name = "frmDormello",
    .caption = u"",
    .border = desktop::BorderStyle::FixedSingle,
    .minButton = true,
    .maxButton = false,
    .showInTaskbar = true,
    .appIcon = true,
    .clientWidth = 6510,
    .clientHeight = 3060,
    .clientPosition = desktop::TwipRect{1785, 3030, 0, 0},
    .background = std::nullopt,
    .controls =
        {
            {.name = "lblCredits",
             .kind = ControlKind::Label,
             .rect = {240, 120, 5955, 1155},
             .align = TextAlign::Centre,
             .font = kLargeFont},
            {.name = "Picture1",
             .kind = ControlKind::PictureBox,
             .rect = {360, 900, 555, 675},
             .showsAppIcon = true},
            {.name = "lblDormello",
             .kind = ControlKind::Label,
             .rect = {210, 1560, 6015, 615},
             .align = TextAlign::Centre,
             .font = kLargeFont},
            {.name = "cmdMinimise",
             .kind = ControlKind::Button,
             .content = u"Mi&nimise",
             .rect = {240, 2460, 1395, 435}},
            {.name = "cmdChangeOptions",
             .kind = ControlKind::Button,
             .content = u"&Change Options",
             .rect = {1780, 2460, 1395, 435}},
            {.name = "cmdHide",
             .kind = ControlKind::Button,
             .content = u"&Hide",
             .rect = {3320, 2460, 1395, 435}},
            {.name = "cmdExit",
             .kind = ControlKind::Button,
             .content = u"E&xit",
             .rect = {4860, 2460, 1395, 435}},
        },
    .tabOrder = {"cmdHide", "cmdExit", "cmdMinimise", "cmdChangeOptions"},
};

// Tried in this order, so the English title wins when both exist.
constexpr std::u16string_view kDialogTitles[] = {u"Shut Down Windows", u"Windows beenden"};

// Between looks the watcher sleeps until the desktop changes; this re-check finds what
// the system does not report (Wine reports window creation alone; 95 reports nothing).
constexpr desktop::Millis kRecheck{250};
// Where every change has been seen reported, a re-check only guards against one lost.
constexpr desktop::Millis kSafetyRecheck{15000};
// A dialog usually takes the focus a few to a few tens of milliseconds after it is
// shown, and no event need say when: look that often for the first kRecheck, then
// still briskly for the rest of its first moments, as one may be brought forward late.
constexpr desktop::Millis kFocusLook{2};
constexpr desktop::Millis kBriskLook{8};
// How long after it could first have been seen a dialog may still come to the front and
// get its key. Dialogs that take the front do so within tens of milliseconds of being
// shown; one that comes later was most likely brought there by the user, who may have
// chosen in it already. A second is ten times the slowest seen and still shorter than
// anyone takes to read the dialog and pick another option.
constexpr desktop::Millis kFirstMoments{1000};
constexpr std::size_t kAnsweredKept = 16;

}  // namespace

frmDormello::frmDormello(Preselector& app) : Form(app.shell), app_(app) {}

const desktop::FormLayout& frmDormelloLayout() { return kLayout; }

const desktop::FormLayout& frmDormello::Layout() const { return frmDormelloLayout(); }

std::u16string frmDormello::DormelloString() const {
    const auto& g = app_.g;
    // The source names the command line whenever one was given, even after the key has
    // been changed in the options dialog.
    const std::u16string source =
        g.CommandText.empty() ? g.SettingsPath : u"Command Line '" + g.CommandText + u"'";
    return u"Shutdown Option set to: " + g.ShortcutKey + u"\r\nfrom " + source;
}

bool frmDormello::ConfirmExit() {
    return Shell().ShowMessage(kExitPrompt, desktop::kStyleQuestionYesNo, kMessageTitle) ==
           desktop::kAnswerYes;
}

void frmDormello::Form_Load() { app_.g.StatusText = DormelloString(); }

void frmDormello::Form_Activate() {
    auto& g = app_.g;
    g.StatusText = DormelloString();
    if (g.HideWindow) {
        Window().SetVisible(false);
    } else {
        Window().SetCaption(kAppTitle);
        Window().SetText("lblCredits", kCredits);
        Window().SetText("lblDormello", g.StatusText);
        Window().SetVisible(true);
    }
    // A later activation (after the options dialog) only refreshes: the pass entered at
    // the first one is still running further down this stack.
    if (!g.WatcherRunning) RunWatcher();
}

void frmDormello::Form_QueryUnload(int& cancel, int unloadMode) {
    // Only the user's own close asks; the task list and the session's end do not wait.
    if (unloadMode == desktop::kUnloadControlMenu && !ConfirmExit()) cancel = -1;
}

void frmDormello::Form_Unload() { Shell().EndProgram(); }

void frmDormello::OnClick(std::string_view control) {
    if (control == "cmdChangeOptions") cmdChangeOptions_Click();
    if (control == "cmdExit") cmdExit_Click();
    if (control == "cmdHide") cmdHide_Click();
    if (control == "cmdMinimise") cmdMinimise_Click();
}

void frmDormello::cmdChangeOptions_Click() { app_.ShowOptionsDialog(this); }

void frmDormello::cmdExit_Click() {
    if (ConfirmExit()) Shell().EndProgram();
}

void frmDormello::cmdHide_Click() { Window().SetVisible(false); }

void frmDormello::cmdMinimise_Click() { Window().Minimise(); }

desktop::Millis frmDormello::RecheckInterval() {
    return Shell().ReportsEveryChange() ? kSafetyRecheck : kRecheck;
}

desktop::Millis frmDormello::UntilRecheck() {
    if (!lastWholeLook_) return desktop::Millis{0};
    return std::max(*lastWholeLook_ + RecheckInterval() - Shell().Now(), desktop::Millis{0});
}

desktop::TitledWindow frmDormello::LookForShutdownDialog() {
    // The first look after a modal window of ours is whole as well: where nothing reports
    // windows made, only a look over the desktop tells a dialog that came meanwhile from
    // one that comes after.
    const int modalWindows = Shell().ModalWindowsShown();
    const bool whole = UntilRecheck() <= desktop::Millis{0} || modalWindows != wholeLookModal_;
    if (whole) {
        lastWholeLook_ = Shell().Now();
        wholeLookModal_ = modalWindows;
    }
    const auto found = Shell().FindWindowTitled(
        kDialogTitles, whole ? desktop::DesktopLook::Whole : desktop::DesktopLook::Changes);
    if (found.handle > 0) app_.g.FoundTitle = kDialogTitles[found.title];
    return found;
}

bool frmDormello::Answered(desktop::WindowHandle dialog) const {
    return std::find(answered_.begin(), answered_.end(), dialog) != answered_.end();
}

namespace {

// Counts the user's presses for as long as it lives.
class UserPresses {
  public:
    explicit UserPresses(desktop::PlatformShell& shell) : shell_(shell) {
        shell_.CountUserPresses(true);
        before_ = shell_.UserPresses();
    }
    ~UserPresses() { shell_.CountUserPresses(false); }
    UserPresses(const UserPresses&) = delete;
    UserPresses& operator=(const UserPresses&) = delete;
    bool Any() { return shell_.UserPresses() != before_; }

  private:
    desktop::PlatformShell& shell_;
    int before_ = 0;
};

}  // namespace

frmDormello::Look frmDormello::LookNow() {
    const Look look{Shell().Now(), Shell().ModalWindowsShown()};
    if (modalChanges_.empty() || modalChanges_.back().modalWindows != look.modalWindows) {
        modalChanges_.push_back(look);
        if (modalChanges_.size() > kAnsweredKept) modalChanges_.pop_front();
    }
    return look;
}

int frmDormello::ModalWindowsAsOf(desktop::Millis at) {
    // Before the first look, as at it. Once older changes were dropped, nothing is known
    // before the oldest kept: -1 matches no count, so the dialog is left alone.
    if (modalChanges_.empty()) return Shell().ModalWindowsShown();
    int count = modalChanges_.size() < kAnsweredKept ? modalChanges_.front().modalWindows : -1;
    for (const Look& change : modalChanges_) {
        if (change.at <= at) count = change.modalWindows;
    }
    return count;
}

void frmDormello::AnswerWhileFresh(desktop::WindowHandle dialog, Look unseen) {
    auto& shell = Shell();
    // Presses before this moment go uncounted: the dialog was found within moments of
    // appearing, or `unseen` is old and its time is up anyway, or a window of ours held
    // the watcher meanwhile, which the test below catches.
    UserPresses presses(shell);
    desktop::RecheckPacing pacing(kFocusLook, kBriskLook, kRecheck);
    while (LookForShutdownDialog().handle == dialog) {
        // One of our own modal windows (the options dialog, the exit question) was up
        // since the dialog could last not have been there: the watcher was not looking,
        // and the user may have chosen in the dialog meanwhile. As that window closes the
        // front may well go straight to the dialog, so being in front proves nothing.
        if (shell.ModalWindowsShown() != unseen.modalWindows) return;
        desktop::Millis wait = pacing.Next();
        if (!shell.WindowShown(dialog)) {
            // Created but not shown yet (a dialog manager shows its dialog only once it
            // has nothing else to do): keys now would find no control, and the user can
            // have done nothing in it, so its first moments have not begun.
            unseen.at = shell.Now();
        } else {
            if (presses.Any()) return;
            if (shell.ForegroundWindow() == dialog) {
                // Read now, so a key saved a moment ago is the one sent. An empty key (the
                // options dialog saved an empty box) types nothing.
                const auto key = app_.g.ShortcutKey;
                // Delivered to the dialog itself: a program that snatches the focus in the
                // instant after this look still receives nothing. A dialog gone meanwhile
                // needs no key.
                if (!key.empty()) shell.PostKeystrokes(dialog, u"%" + desktop::LiteralKey(key[0]));
                return;
            }
            // Looked at last when the moments are over: in front then, it came in time.
            const auto left = unseen.at + kFirstMoments - shell.Now();
            if (left <= desktop::Millis{0}) return;
            wait = std::min(wait, left);
        }
        shell.PumpEvents();
        shell.WaitForDesktopChange(wait);
        shell.PumpEvents();
    }
}

void frmDormello::RunWatcher() {
    auto& g = app_.g;
    auto& shell = Shell();
    g.WatcherRunning = true;
    // The last look that found no dialog: one found later appeared after it.
    Look unseen = LookNow();
    while (true) {
        shell.PumpEvents();
        g.FoundTitle.clear();
        desktop::TitledWindow found;
        while (g.FoundTitle.empty()) {
            shell.PumpEvents();
            const Look look = LookNow();
            found = LookForShutdownDialog();
            shell.PumpEvents();
            if (g.FoundTitle.empty()) {
                unseen = look;
                shell.WaitForDesktopChange(UntilRecheck());
            }
        }
        // A window that took the title while the watcher was not reading its title (an
        // unreported rename behind the others, or one made while a modal window of ours
        // held the watcher) may have been seen since then; so may a modal window of ours
        // have been up since.
        if (found.untitledAt < unseen.at) {
            unseen = {found.untitledAt, ModalWindowsAsOf(found.untitledAt)};
        }
        const desktop::WindowHandle dialog = found.handle;
        shell.PumpEvents();
        shell.PumpEvents();
        if (!Answered(dialog)) {
            AnswerWhileFresh(dialog, unseen);
            answered_.push_back(dialog);
            if (answered_.size() > kAnsweredKept) answered_.pop_front();
        }
        // Wait for this appearance to go, looking as the search looks, so the two never
        // disagree about it; a dialog reopened meanwhile has a new handle and is a new
        // appearance.
        desktop::RecheckPacing pacing(desktop::Millis{4}, RecheckInterval());
        for (Look look = LookNow(); LookForShutdownDialog().handle == dialog; look = LookNow()) {
            unseen = look;
            shell.PumpEvents();
            shell.WaitForDesktopChange(pacing.Next());
        }
        shell.PumpEvents();
    }
}

}  // namespace preselector
