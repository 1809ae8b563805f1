#pragma once
// The appearances of the shutdown stand-in's dialog and the keys each received, read from
// its log. An appearance runs from a "create" line to its "close" line. The stand-in has
// one dialog at a time and logs in order, so a key line between the two that names the
// dialog's title as its top-level window went to this appearance and no other.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/event_log.h"
#include "e2e/driver/shutdown_standin.h"

namespace e2e {

struct Appearance {
    std::string hwnd;
    std::int64_t createdAt = 0;
    std::optional<std::int64_t> shownAt;
    // The first activation (WM_ACTIVATE, not WA_INACTIVE).
    std::optional<std::int64_t> activatedAt;
    // How long the dialog was the active window, summed from each activation to the next
    // deactivation or to the close.
    double activeMs = 0;
    // The selection the "close" line reports; nullopt while the dialog is open.
    std::optional<int> closedWith;
    // Every key line to the dialog, and those of them that came while it was not the
    // active window.
    std::vector<LogLine> keys;
    std::vector<LogLine> keysWhileInactive;

    // How often Alt plus `letter` reached the dialog: the key's WM_SYSKEYDOWN, and the
    // WM_SYSCHAR (either case) that the dialog manager acts on.
    int AltDowns(char letter) const;
    int AltChars(char letter) const;
    // The first key line of `letter` after the dialog was shown: the key's down (a
    // WM_SYSKEYDOWN, or a WM_KEYDOWN when Alt was lost on the way, seen rarely under
    // Wine) or, for a letter whose key needs Shift, the character itself.
    const LogLine* FirstKeyAfterShown(char letter) const;
};

class DialogAppearances {
  public:
    explicit DialogAppearances(const std::wstring& dialogTitle);

    // The log's next line.
    void Add(const LogLine& line);
    const std::vector<Appearance>& All() const { return all_; }
    // Key lines of the stand-in outside every appearance or to another of its windows.
    const std::vector<LogLine>& StrayKeys() const { return strayKeys_; }

  private:
    std::string title_;
    std::vector<Appearance> all_;
    std::vector<LogLine> strayKeys_;
    bool open_ = false;
    // The tick of the current activation, while the dialog is active.
    std::optional<std::int64_t> activeSince_;
};

// Every appearance in the stand-in's log so far.
DialogAppearances ReadAppearances(const ShutdownStandIn& standIn);

}  // namespace e2e
