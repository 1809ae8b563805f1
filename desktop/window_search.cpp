#include "desktop/window_search.h"

#include <algorithm>

namespace desktop {

std::optional<WindowSearch::Kind> WindowSearch::KindOf(DesktopChange change) {
    switch (change) {
        case DesktopChange::Renamed:
            return kRename;
        case DesktopChange::Shown:
            return kShow;
        case DesktopChange::Foreground:
            return kForeground;
        default:
            return std::nullopt;
    }
}

void WindowSearch::Reported(DesktopChange change, WindowHandle window) {
    if (const auto kind = KindOf(change)) seen_[*kind] = true;
    reports_.emplace_back(change, window);
}

bool WindowSearch::ReportsEveryChange() const {
    return std::ranges::all_of(seen_, [](bool b) { return b; }) &&
           std::ranges::none_of(missed_, [](bool b) { return b; });
}

bool WindowSearch::ReportedSinceLastLook(DesktopChange change, WindowHandle window) const {
    return std::ranges::any_of(reports_, [&](const auto& report) {
        return report.first == change && (window == 0 || report.second == window);
    });
}

void WindowSearch::JudgeSuspects() {
    constexpr DesktopChange kReportOf[] = {DesktopChange::Renamed, DesktopChange::Shown,
                                           DesktopChange::Foreground};
    for (const auto& suspect : suspects_) {
        // Any report of the foreground will do: it may have moved on meanwhile.
        const WindowHandle window = suspect.kind == kForeground ? 0 : suspect.window;
        if (!ReportedSinceLastLook(kReportOf[suspect.kind], window)) missed_[suspect.kind] = true;
    }
    suspects_.clear();
}

int WindowSearch::Matching(const std::u16string& folded) const {
    for (std::size_t i = 0; i < titles_.size(); ++i) {
        if (titles_[i].size() <= kLongestTitle && folded == titles_[i]) return static_cast<int>(i);
    }
    return -1;
}

void WindowSearch::Read(WindowHandle window, Millis now) {
    auto title = system_.FoldedTitle(window, kLongestTitle + 1);
    if (!title) {
        known_.erase(window);
        return;
    }
    auto [entry, isNew] = known_.try_emplace(window);
    Known& known = entry->second;
    const bool wasMatching = !isNew && Matching(known.title) >= 0;
    if (isNew) {
        known.rank = nextNewRank_--;
        // Before the program's first look every window is as good as new. After it, one
        // whose creation was reported did not exist at the last look, and any other was
        // missing from the last whole one.
        if (!looked_) {
            known.untitledAt = now;
        } else if (ReportedSinceLastLook(DesktopChange::Created, window)) {
            known.untitledAt = lastLook_;
        } else {
            known.untitledAt = lastWholeLook_;
        }
    } else if (*title != known.title && !ReportedSinceLastLook(DesktopChange::Renamed, window)) {
        Suspected(kRename, window);
    }
    const bool matches = Matching(*title) >= 0;
    if (matches) {
        const bool visible = system_.Visible(window);
        if (wasMatching && !known.visible && visible &&
            !ReportedSinceLastLook(DesktopChange::Shown, window)) {
            Suspected(kShow, window);
        }
        known.visible = visible;
    } else {
        known.untitledAt = now;
    }
    known.title = std::move(*title);
    known.readAt = now;
}

TitledWindow WindowSearch::Find(std::span<const std::u16string_view> titles, DesktopLook look,
                                Millis now) {
    titles_.clear();
    for (auto title : titles) titles_.push_back(system_.Folded(title));
    JudgeSuspects();
    for (const auto& [change, window] : reports_) {
        if (change == DesktopChange::Destroyed) known_.erase(window);
    }
    const WindowHandle foreground = system_.Foreground();
    if (looked_ && foreground != foreground_ && foreground != 0 &&
        !ReportedSinceLastLook(DesktopChange::Foreground, 0) && !system_.Ours(foreground)) {
        Suspected(kForeground, foreground);
    }

    // What this look reads: the window in front, those reported, those found before.
    std::vector<WindowHandle> toRead;
    const auto add = [&](WindowHandle window) {
        if (window > 0 && std::ranges::find(toRead, window) == toRead.end()) {
            toRead.push_back(window);
        }
    };
    add(foreground);
    for (const auto& [change, window] : reports_) {
        if (change != DesktopChange::Destroyed) add(window);
    }
    for (const auto& [window, known] : known_) {
        if (Matching(known.title) >= 0) add(window);
    }
    const bool whole = look == DesktopLook::Whole || !looked_;
    std::vector<WindowHandle> listed;
    if (whole) {
        // Every window new to the search, and a few whose titles are oldest.
        listed = system_.TopLevelWindows();
        std::size_t stale = 0;
        for (WindowHandle window : listed) {
            const auto known = known_.find(window);
            if (known == known_.end()) {
                add(window);
            } else if (stale < kStaleReadsPerLook && now - known->second.readAt >= kTrust) {
                add(window);
                ++stale;
            }
        }
    }
    for (WindowHandle window : toRead) Read(window, now);
    if (whole) {
        for (auto& [window, known] : known_) known.listed = false;
        long rank = 0;
        for (WindowHandle window : listed) {
            const auto known = known_.find(window);
            if (known == known_.end()) continue;
            known->second.rank = rank++;
            known->second.listed = true;
        }
        std::erase_if(known_, [](const auto& entry) { return !entry.second.listed; });
        lastWholeLook_ = now;
    }
    reports_.clear();
    foreground_ = foreground;
    lastLook_ = now;
    looked_ = true;

    // Only windows read now can have a title: one found before was read again.
    TitledWindow found;
    const Known* best = nullptr;
    for (WindowHandle window : toRead) {
        const auto known = known_.find(window);
        if (known == known_.end()) continue;
        const int match = Matching(known->second.title);
        if (match < 0) continue;
        const auto title = static_cast<std::size_t>(match);
        // The first title wins; among namesakes the topmost.
        const bool better = best == nullptr || title < found.title ||
                            (title == found.title && known->second.rank < best->rank);
        if (better) {
            best = &known->second;
            found = {window, title, known->second.untitledAt};
        }
    }
    return found;
}

}  // namespace desktop
