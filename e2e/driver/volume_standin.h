#pragma once
// The test's side of the stand-in volume control (e2e/standin/volume/), which the run
// installs as SNDVOL32.EXE in the Windows folder: its options, passed to copies that
// another program starts through the environment, and its windows. Its log is an
// EventLog (event_log.h).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

inline constexpr wchar_t kVolumeControlClass[] = L"StandinVolumeControl";
inline constexpr wchar_t kVolumeControlTitle[] = L"Volume Control";
inline constexpr wchar_t kRecordingControlTitle[] = L"Recording Control";

// The installed stand-in: <Windows folder>\SNDVOL32.EXE.
std::wstring InstalledVolumeControlPath();

// The stand-in's options (see e2e/standin/volume/main.cpp).
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

}  // namespace e2e
