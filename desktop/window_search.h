#pragma once
// Finds other programs' top-level windows by title, for a caller that looks all day.
//
// Reading another program's window title is a round trip to the system (under Wine, to
// the wineserver), so a look reads as few titles as will do: those of the windows the
// system reported changed since the last look, of the windows found under a title (what
// is found has its title now), and of the window in front, so no remembered title hides a
// dialog there. Only a whole look lists every window (and where creation is reported,
// only every kListEvery); it reads the ones new to it and a few of the titles read
// longest ago, for renames the system does not report. What it costs does not grow with
// the windows a desktop holds, only with what happens on it.
//
// It also learns which changes the system reports to this program: reports of each kind
// (creation, rename, show, change of the foreground), a rename and a change of the
// foreground seen by a look with their reports, make the system trusted; a look that
// finds such a change no report announced proves, for good, that it is not.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/platform_shell.h"

namespace desktop {

enum class DesktopChange { Created, Destroyed, Shown, Hidden, Renamed, Foreground };

class WindowSearch {
  public:
    // What the search asks of the system.
    class System {
      public:
        virtual ~System() = default;
        System() = default;
        System(const System&) = delete;
        System& operator=(const System&) = delete;
        // Every top-level window, topmost first.
        virtual std::vector<WindowHandle> TopLevelWindows() = 0;
        // At most `longest` characters of the window's title, case-folded by the system's
        // rules; nothing when there is no such window.
        virtual std::optional<std::u16string> FoldedTitle(WindowHandle window,
                                                          std::size_t longest) = 0;
        virtual std::u16string Folded(std::u16string_view text) = 0;
        virtual WindowHandle Foreground() = 0;
        virtual bool Visible(WindowHandle window) = 0;
        // One of this program's own windows, whose changes the system reports to others only.
        virtual bool Ours(WindowHandle window) = 0;
        // Not a control inside another window: reports name those too.
        virtual bool TopLevel(WindowHandle window) = 0;
    };

    // Without a report, a title read this long ago may have changed.
    static constexpr Millis kTrust{2000};
    // How many such titles a whole look reads again.
    static constexpr std::size_t kStaleReadsPerLook = 2;
    // Where creation is reported, how often a whole look lists the windows (for what no
    // report covers: renames behind the others, windows gone); else every whole look does.
    static constexpr Millis kListEvery{2000};
    // Titles longer than this are never found.
    static constexpr std::size_t kLongestTitle = 255;

    explicit WindowSearch(System& system) : system_(system) {}

    // The system reported `change` to `window` at `now`. True when it may change what
    // the next look finds, which then reads the window: a change of the foreground, a
    // rename, a window made with one of the titles last looked for, a window found under
    // one shown, hidden or gone. The title of a window made is read now, so a desktop
    // making windows fast wakes no look for those that do not matter. Before the first
    // look (in a program that looks by other means) every change is true.
    bool Reported(DesktopChange change, WindowHandle window, Millis now);
    // See PlatformShell::FindWindowTitled. `now` dates what is read.
    TitledWindow Find(std::span<const std::u16string_view> titles, DesktopLook look, Millis now);
    // Creations, renames, shows and changes of the foreground have each been reported (a
    // rename and a change of the foreground also seen by a look, with their reports), and
    // none was ever found unreported.
    bool ReportsEveryChange() const;

  private:
    // The changes a system may or may not report, by their index.
    enum Kind : std::size_t { kCreate, kRename, kShow, kForeground, kKinds };
    struct Known {
        std::u16string title;  // folded
        Millis readAt{0};
        // The last moment it was known not to exist or to have none of the titles.
        Millis untitledAt{0};
        long rank = 0;  // in the last whole look, topmost first; newer windows below 0
        bool visible = false;
        bool listed = false;  // in the whole look under way
    };
    struct Suspect {
        Kind kind;
        WindowHandle window;
    };

    static std::optional<Kind> KindOf(DesktopChange change);
    // Whether `change` was reported to `window` since the last look; for the foreground,
    // any window.
    bool ReportedSinceLastLook(DesktopChange change, WindowHandle window) const;
    // Reads one window's title; forgets a window that is gone.
    void Read(WindowHandle window, Millis now);
    int Matching(const std::u16string& folded) const;
    // Changes found that no report announced: unreported unless the report comes before
    // the next look (reports arrive a moment after the change).
    void Suspected(Kind kind, WindowHandle window) { suspects_.push_back({kind, window}); }
    void JudgeSuspects();

    System& system_;
    std::vector<std::u16string> titles_;  // folded, of the look under way
    std::unordered_map<WindowHandle, Known> known_;
    // Since the last look: the changes reported to each window, one bit per change.
    std::unordered_map<WindowHandle, unsigned> reports_;
    bool foregroundReported_ = false;
    std::vector<Suspect> suspects_;
    std::array<bool, kKinds> seen_{};
    std::array<bool, kKinds> missed_{};
    std::array<bool, kKinds> confirmed_{};  // seen by a look to happen, with its report
    WindowHandle foreground_ = 0;
    bool looked_ = false;
    Millis lastLook_{0};
    Millis lastListing_{0};
    long nextNewRank_ = -1;
};

}  // namespace desktop
