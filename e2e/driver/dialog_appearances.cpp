#include "e2e/driver/dialog_appearances.h"

#include <algorithm>
#include <cctype>

#include "e2e/driver/text.h"

namespace e2e {

namespace {

bool IsKeyDownOf(const LogLine& key, const char* message, char letter) {
    return key.Field("msg") == message &&
           key.Field("key") == std::string(1, static_cast<char>(std::toupper(letter)));
}

bool IsCharOf(const LogLine& key, char letter) {
    const std::string ch = key.Field("char");
    return key.Field("msg") == "WM_SYSCHAR" && ch.size() == 1 &&
           std::tolower(static_cast<unsigned char>(ch[0])) == std::tolower(letter);
}

}  // namespace

int Appearance::AltDowns(char letter) const {
    return static_cast<int>(std::count_if(keys.begin(), keys.end(), [&](const LogLine& key) {
        return IsKeyDownOf(key, "WM_SYSKEYDOWN", letter);
    }));
}

int Appearance::AltChars(char letter) const {
    return static_cast<int>(std::count_if(
        keys.begin(), keys.end(), [&](const LogLine& key) { return IsCharOf(key, letter); }));
}

const LogLine* Appearance::FirstKeyAfterShown(char letter) const {
    const auto found = std::find_if(keys.begin(), keys.end(), [&](const LogLine& key) {
        return shownAt && key.ticks >= *shownAt &&
               (IsKeyDownOf(key, "WM_SYSKEYDOWN", letter) ||
                IsKeyDownOf(key, "WM_KEYDOWN", letter) || IsCharOf(key, letter));
    });
    return found != keys.end() ? &*found : nullptr;
}

DialogAppearances::DialogAppearances(const std::wstring& dialogTitle)
    : title_(ToUtf8(dialogTitle)) {}

void DialogAppearances::Add(const LogLine& line) {
    if (line.event == "create") {
        all_.push_back({.hwnd = line.Field("hwnd"), .createdAt = line.ticks});
        open_ = true;
        activeSince_.reset();
        return;
    }
    if (line.event == "key" && (!open_ || line.Field("top") != title_)) {
        strayKeys_.push_back(line);
        return;
    }
    if (!open_) {
        return;
    }
    Appearance& now = all_.back();
    const bool activating =
        line.event == "activate" && line.Field("hwnd") == now.hwnd && line.Field("state") != "0";
    const bool ending = (line.event == "activate" && line.Field("hwnd") == now.hwnd &&
                         line.Field("state") == "0") ||
                        line.event == "close";
    if (line.event == "shown" && !now.shownAt) {
        now.shownAt = line.ticks;
    } else if (line.event == "key") {
        if (!activeSince_) {
            now.keysWhileInactive.push_back(line);
        }
        now.keys.push_back(line);
    } else if (activating) {
        now.activatedAt = now.activatedAt.value_or(line.ticks);
        activeSince_ = activeSince_.value_or(line.ticks);
    }
    if (ending && activeSince_) {
        now.activeMs += TicksToMillis(line.ticks - *activeSince_);
        activeSince_.reset();
    }
    if (line.event == "close") {
        now.closedWith = std::stoi(line.Field("selection"));
        open_ = false;
    }
}

DialogAppearances ReadAppearances(const ShutdownStandIn& standIn) {
    DialogAppearances appearances(standIn.DialogTitle());
    for (const auto& line : standIn.Log().Lines()) {
        appearances.Add(line);
    }
    return appearances;
}

}  // namespace e2e
