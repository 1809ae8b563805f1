#pragma once
// Pictures of what a person would see, for the run's report. The run script turns the
// BMP files into PNG.
#include <windows.h>

#include <string>

namespace e2e {

// Copies the screen area of `window` (its outer rectangle), or the whole screen when
// `window` is nullptr, into a 24-bit BMP file. Returns false when nothing was written.
bool SaveScreenshot(HWND window, const std::wstring& path);

}  // namespace e2e
