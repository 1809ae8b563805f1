#pragma once
#include <string>

namespace preselector {

// The state every routine of the preselector shares, for the life of the process.
struct Globals {
    std::u16string CommandText;   // the command line, trimmed of spaces
    std::u16string ShortcutKey;   // sent with Alt: one upper-cased character, or empty
    bool HideWindow = false;      // the main window is kept invisible
    std::u16string SettingsPath;  // full path of the settings file
    std::u16string StatusText;    // last text composed for the main window
    std::u16string FoundTitle;    // the title the shutdown dialog was found under
    bool WatcherRunning = false;  // set once the watcher has been entered; never cleared
};

}  // namespace preselector
