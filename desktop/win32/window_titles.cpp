#include "desktop/win32/window_titles.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace desktop::win32 {

struct WindowTitles::Pass {
    // The index of the title `folded` equals, or -1.
    int Matching(const std::u16string& folded) const;
    std::u16string TitleOf(HWND window) const {
        // One character more than the longest title, so longer texts never match.
        return system.UpperCase(system.TextOf(window, static_cast<int>(kLongestTitle) + 1));
    }

    const SystemFunctions& system;
    std::vector<std::u16string> titles;  // case-folded
    std::vector<HWND> topmost;           // per title, the first window with it
    const std::unordered_map<HWND, Known>& known;
    std::unordered_map<HWND, Known> seen;  // the windows that exist now
    Millis now{0};
};

int WindowTitles::Pass::Matching(const std::u16string& folded) const {
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (titles[i].size() <= kLongestTitle && folded == titles[i]) return static_cast<int>(i);
    }
    return -1;
}

BOOL CALLBACK WindowTitles::Visit(HWND window, LPARAM context) {
    auto& pass = *reinterpret_cast<Pass*>(context);
    Known title;
    const auto known = pass.known.find(window);
    const bool trusted = known != pass.known.end() && pass.now - known->second.readAt < kTrust;
    // A remembered title that matches is read again: a window renamed away from it must
    // not be found, or a caller waiting for that window to go would find it gone at once
    // and look again without waiting. Only a match costs the read, and matches are rare.
    if (trusted && pass.Matching(known->second.folded) < 0) {
        title = known->second;
    } else {
        title = {pass.TitleOf(window), pass.now};
    }
    const int match = pass.Matching(title.folded);
    if (match >= 0 && pass.topmost[static_cast<std::size_t>(match)] == nullptr) {
        pass.topmost[static_cast<std::size_t>(match)] = window;
    }
    pass.seen.emplace(window, std::move(title));
    return TRUE;
}

TitledWindow WindowTitles::Find(std::span<const std::u16string_view> titles, Millis now) {
    Pass pass{
        .system = system_, .titles = {}, .topmost = {}, .known = known_, .seen = {}, .now = now};
    for (auto title : titles) pass.titles.push_back(system_.UpperCase(title));
    pass.topmost.assign(titles.size(), nullptr);
    // EnumDesktopWindows rather than EnumWindows where there is one (NT): Wine's
    // EnumWindows asks once more per window whether it still exists.
    if (system_.EnumDesktopWindows != nullptr) {
        system_.EnumDesktopWindows(nullptr, Visit, reinterpret_cast<LPARAM>(&pass));
    } else {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&pass));
    }
    known_ = std::move(pass.seen);
    for (std::size_t title = 0; title < titles.size(); ++title) {
        if (pass.topmost[title] != nullptr) return {HandleToLong(pass.topmost[title]), title};
    }
    return {};
}

}  // namespace desktop::win32
