#pragma once
// Looks for top-level windows by title, several titles in one pass over the desktop.
//
// Under Wine each other program's window title is a round trip to the wineserver, so a
// watcher that looks four times a second spends nearly all its idle time reading titles
// that have not changed. A title once read is therefore trusted for kTrust; the owner
// forgets them all whenever the system reports a rename (Windows does; Wine reports
// none, which the time limit covers). A window new since the last look is always read,
// and so is one whose remembered title matches: what is found has its title now.
#include <windows.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "desktop/platform_shell.h"
#include "desktop/win32/system_functions.h"

namespace desktop::win32 {

class WindowTitles {
  public:
    // How long a title read earlier is believed.
    static constexpr Millis kTrust{2000};
    // Titles longer than this are never found.
    static constexpr std::size_t kLongestTitle = 255;

    explicit WindowTitles(const SystemFunctions& system) : system_(system) {}

    // The first of `titles` that some top-level window has, and the topmost window with
    // it, as FindWindow compares titles (whole, ignoring case); handle 0 when none.
    // `now` dates the titles read.
    TitledWindow Find(std::span<const std::u16string_view> titles, Millis now);
    // Every title is read afresh at the next look.
    void Forget() { known_.clear(); }

  private:
    struct Known {
        std::u16string folded;
        Millis readAt{0};
    };
    struct Pass;
    static BOOL CALLBACK Visit(HWND window, LPARAM pass);

    const SystemFunctions& system_;
    std::unordered_map<HWND, Known> known_;
};

}  // namespace desktop::win32
