#include "desktop/window_search.h"

#include <algorithm>

namespace desktop {

std::optional<WindowSearch::Kind> WindowSearch::KindOf(DesktopChange change) {
    switch (change) {
        case DesktopChange::Created:
            return kCreate;
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

namespace {

unsigned Bit(DesktopChange change) { return 1U << static_cast<unsigned>(change); }

}  // namespace

bool WindowSearch::Reported(DesktopChange change, WindowHandle window, Millis now) {
    if (const auto kind = KindOf(change)) seen_[*kind] = true;
    if (change == DesktopChange::Foreground) foregroundReported_ = true;
    if (change == DesktopChange::Destroyed) {
        const auto gone = known_.find(window);
        const bool found = gone != known_.end() && Matching(gone->second.title) >= 0;
        if (gone != known_.end()) known_.erase(gone);
        reports_.erase(window);
        return found;
    }
    reports_[window] |= Bit(change);
    // Before the first look every change may matter to a waiter that looks on its own.
    if (titles_.empty()) return true;
    if (change == DesktopChange::Foreground || change == DesktopChange::Renamed) return true;
    auto known = known_.find(window);
    if (known == known_.end()) {
        Read(window, now);
        known = known_.find(window);
    }
    if (known == known_.end() || Matching(known->second.title) < 0) return false;
    // Controls are made by the dozen with every dialog: only one with a title is asked
    // whether it is one.
    if (!system_.TopLevel(window)) {
        known_.erase(known);
        reports_.erase(window);
        return false;
    }
    return true;
}

bool WindowSearch::ReportsEveryChange() const {
    // A system may report some changes of a kind and not others (Wine passes on a few),
    // so renames and changes of the foreground count only once a look has seen one
    // happen with its report.
    return seen_[kCreate] && seen_[kShow] && confirmed_[kRename] && confirmed_[kForeground] &&
           std::ranges::none_of(missed_, [](bool b) { return b; });
}

bool WindowSearch::ReportedSinceLastLook(DesktopChange change, WindowHandle window) const {
    if (change == DesktopChange::Foreground) return foregroundReported_;
    const auto reports = reports_.find(window);
    return reports != reports_.end() && (reports->second & Bit(change)) != 0;
}

void WindowSearch::JudgeSuspects() {
    constexpr DesktopChange kReportOf[] = {DesktopChange::Created, DesktopChange::Renamed,
                                           DesktopChange::Shown, DesktopChange::Foreground};
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
        // missing from the last listing.
        if (!looked_) {
            known.untitledAt = now;
        } else if (ReportedSinceLastLook(DesktopChange::Created, window)) {
            known.untitledAt = lastLook_;
        } else {
            known.untitledAt = lastListing_;
        }
    } else if (*title != known.title) {
        if (ReportedSinceLastLook(DesktopChange::Renamed, window)) {
            confirmed_[kRename] = true;
        } else {
            Suspected(kRename, window);
        }
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
    const WindowHandle foreground = system_.Foreground();
    if (looked_ && foreground != foreground_ && foreground != 0 && !system_.Ours(foreground)) {
        if (foregroundReported_) {
            confirmed_[kForeground] = true;
        } else {
            Suspected(kForeground, foreground);
        }
    }

    // What this look reads: the window in front, those found before, and those reported
    // renamed or not yet read.
    std::vector<WindowHandle> toRead;
    const auto add = [&](WindowHandle window) {
        if (window > 0 && std::ranges::find(toRead, window) == toRead.end()) {
            toRead.push_back(window);
        }
    };
    add(foreground);
    for (const auto& [window, changes] : reports_) {
        if ((changes & Bit(DesktopChange::Renamed)) != 0 || !known_.contains(window)) add(window);
    }
    for (const auto& [window, known] : known_) {
        if (Matching(known.title) >= 0) add(window);
    }
    const bool creationReported = seen_[kCreate] && !missed_[kCreate];
    const bool list = !looked_ || (look == DesktopLook::Whole &&
                                   (!creationReported || now - lastListing_ >= kListEvery));
    std::vector<WindowHandle> listed;
    if (list) {
        // Every window new to the search, and a few whose titles are oldest.
        listed = system_.TopLevelWindows();
        std::size_t stale = 0;
        for (WindowHandle window : listed) {
            const auto known = known_.find(window);
            if (known == known_.end()) {
                // Made since the last look, and not reported (this program's own windows
                // never are).
                if (looked_ && !system_.Ours(window)) Suspected(kCreate, window);
                add(window);
            } else if (stale < kStaleReadsPerLook && now - known->second.readAt >= kTrust) {
                add(window);
                ++stale;
            }
        }
    }
    for (WindowHandle window : toRead) Read(window, now);
    if (list) {
        for (auto& [window, known] : known_) known.listed = false;
        long rank = 0;
        for (WindowHandle window : listed) {
            const auto known = known_.find(window);
            if (known == known_.end()) continue;
            known->second.rank = rank++;
            known->second.listed = true;
        }
        std::erase_if(known_, [](const auto& entry) { return !entry.second.listed; });
        lastListing_ = now;
    }
    reports_.clear();
    foregroundReported_ = false;
    foreground_ = foreground;
    lastLook_ = now;
    looked_ = true;

    // Only windows read now can have a title: one found before was read again. Namesakes
    // are told apart by where they are now, which only a listing says.
    std::vector<WindowHandle> matches;
    for (WindowHandle window : toRead) {
        const auto known = known_.find(window);
        if (known != known_.end() && Matching(known->second.title) >= 0) matches.push_back(window);
    }
    if (matches.size() > 1 && !list) {
        long rank = 0;
        for (WindowHandle window : system_.TopLevelWindows()) {
            const auto known = known_.find(window);
            if (known != known_.end()) known->second.rank = rank++;
        }
    }
    TitledWindow found;
    const Known* best = nullptr;
    for (WindowHandle window : matches) {
        const auto known = known_.find(window);
        const auto title = static_cast<std::size_t>(Matching(known->second.title));
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
