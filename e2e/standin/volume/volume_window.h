#pragma once
// The volume control's main window, titled "Volume Control", with a menu bar "O&ptions"
// holding "P&roperties..." and "E&xit". Properties opens the Properties dialog; OK with
// Recording checked retitles the window "Recording Control" (unless told never to
// switch), OK with Playback checked puts the title "Volume Control" back, and Cancel or
// Esc leave it. So "%pr{TAB}{DOWN}~" does the whole switch: Alt+p opens the Options menu
// by its access letter, r chooses Properties..., the rest goes to the dialog.
#include <windows.h>

#include "e2e/standin/line_log.h"

namespace standin {

inline constexpr wchar_t kVolumeTitle[] = L"Volume Control";
inline constexpr wchar_t kRecordingTitle[] = L"Recording Control";

class VolumeWindow {
  public:
    VolumeWindow(HINSTANCE instance, const LineLog& log, bool neverSwitch)
        : instance_(instance), log_(log), neverSwitch_(neverSwitch) {}

    // Created hidden; nullptr on failure.
    HWND Create();

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void ChooseProperties();
    void Paint();

    HINSTANCE instance_;
    const LineLog& log_;
    bool neverSwitch_;
    HWND window_ = nullptr;
    bool showingRecording_ = false;
};

}  // namespace standin
