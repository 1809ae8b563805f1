#pragma once
// The volume control's Properties dialog, modal, run by the system dialog manager. Its tab
// order is the template's (properties.rc):
//   1. "&Mixer device:" combo box (a drop-down list; has the focus when the dialog opens)
//   2. "&Playback" / "&Recording" auto radio buttons (one group; Playback checked on opening)
//   3. OK (the default push button) and Cancel
// so Tab, Down, Enter typed right after it opens move to Playback, move to and check
// Recording (the dialog manager checks an auto radio button it moves the focus to), and
// press OK (a radio button does not want Enter, so the default button takes it).
#define IDD_PROPERTIES 200
#define IDC_DEVICE 201
#define IDC_PLAYBACK 202
#define IDC_RECORDING 203

#ifndef RC_INVOKED
#include <windows.h>

#include "e2e/standin/line_log.h"

namespace standin {

enum class Choice { kFailed, kCancel, kPlayback, kRecording };

// Runs the dialog to its end; logs dialog-opened, dialog-ready, playback-chosen and
// recording-chosen, and dialog-closed or dialog-failed.
Choice RunPropertiesDialog(HINSTANCE instance, HWND owner, const LineLog& log);

}  // namespace standin
#endif
