#pragma once
// The test's side of the stand-in volume control (e2e/standin_sndvol32.cpp), which the
// run installs as SNDVOL32.EXE in the Windows folder: its options, passed to copies that
// another program starts through the environment, its windows, and its log.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/wait.h"

namespace e2e {

inline constexpr wchar_t kVolumeControlClass[] = L"StandinVolumeControl";
inline constexpr wchar_t kVolumeControlTitle[] = L"Volume Control";
inline constexpr wchar_t kRecordingControlTitle[] = L"Recording Control";

// The installed stand-in: <Windows folder>\SNDVOL32.EXE.
std::wstring InstalledVolumeControlPath();

// The stand-in's options (see its header comment).
struct VolumeOptions {
    std::optional<DWORD> delayMs;
    bool noSwitch = false;
    bool noActivate = false;
    std::optional<DWORD> crashMs;
    std::wstring logPath;
};

// The options as command-line arguments, one option each.
std::vector<std::wstring> VolumeArguments(const VolumeOptions& options);

// Sets the stand-in's options variable (STANDIN_SNDVOL32_OPTIONS) in this process's
// environment for as long as it lives, and puts the previous value back after. A program
// started meanwhile inherits it, and passes it on to the stand-ins it starts.
class VolumeOptionsForChildren {
  public:
    explicit VolumeOptionsForChildren(const VolumeOptions& options);
    ~VolumeOptionsForChildren();
    VolumeOptionsForChildren(const VolumeOptionsForChildren&) = delete;
    VolumeOptionsForChildren& operator=(const VolumeOptionsForChildren&) = delete;

  private:
    std::optional<std::wstring> previous_;
};

// Every top-level window of the stand-in's main window class, of any process.
std::vector<HWND> VolumeControlWindows();

// One line of the stand-in's log:
//   <qpc> pid=<pid> key <WM_...> vk=0x<vk> <NAME> lp=0x<lp> hwnd=... class=... title="..."
//         via=main|hook [synthetic]
//   <qpc> pid=<pid> key <WM_CHAR|WM_SYSCHAR> ch=0x<code> '<char>' lp=... (as above)
//   <qpc> pid=<pid> event <name> [name=value ...]
struct VolumeLogLine {
    std::int64_t ticks = 0;
    DWORD pid = 0;
    std::string kind;  // "key" or "event"
    std::string name;  // the message (WM_KEYDOWN...) or the event (start, retitled...)
    // name=value pairs; quoted values are unquoted and unescaped.
    std::map<std::string, std::string> fields;
    // The other words in order: a key's name (MENU, P, RETURN...), a character as it
    // was quoted ('r'), "synthetic".
    std::vector<std::string> words;
    std::string raw;

    // The field's value, or "" when the line has no such field.
    std::string Field(const std::string& field) const;
    bool HasWord(const std::string& word) const;
    bool IsEvent(const std::string& event) const { return kind == "event" && name == event; }
    // A WM_KEYDOWN or WM_SYSKEYDOWN that came from the keyboard: not marked synthetic.
    bool IsTypedKeyDown() const;
    // "WM_SYSKEYDOWN MENU", "WM_KEYDOWN TAB"...: the message and the key's name.
    std::string KeyText() const;
};

// Parses one line; nullopt when it does not start with a counter, a pid and a kind.
std::optional<VolumeLogLine> ParseVolumeLogLine(const std::string& line);

class VolumeLog {
  public:
    explicit VolumeLog(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }
    // Every complete line written so far, of every stand-in writing to this file.
    std::vector<VolumeLogLine> Lines() const;
    // The lines of one stand-in.
    std::vector<VolumeLogLine> Lines(DWORD pid) const;
    // The stand-ins that wrote to this file, in the order of their "start" events.
    std::vector<DWORD> Pids() const;
    // The key-downs that stand-in `pid` received from the keyboard, in order, as KeyText.
    std::vector<std::string> TypedKeyDowns(DWORD pid) const;
    // Waits for a line that satisfies `match`; returns it, or nullopt on timeout.
    std::optional<VolumeLogLine> WaitFor(const std::function<bool(const VolumeLogLine&)>& match,
                                         Millis timeout = kDefaultTimeout) const;
    // The whole file, for failure messages.
    std::string Text() const;
    // The file without key-ups, classes, titles and lParams: a failure message that a
    // shortened log still shows whole.
    std::string Brief() const;

  private:
    std::wstring path_;
};

// The lines of several logs in the order they were written, as Brief gives them, each
// with its time in milliseconds since the first.
std::string Brief(std::initializer_list<const VolumeLog*> logs);

}  // namespace e2e
