#pragma once
// Pictures of what a person would see, for the run's report. The run script turns the
// BMP files into PNG.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The screen's pixels in one rectangle, as 24-bit BMP rows (bottom-up).
struct ScreenPixels {
    RECT area{};
    std::vector<char> rows;

    // The colour at (x, y) in screen coordinates inside `area`.
    COLORREF At(LONG x, LONG y) const;
};

// The pixels of `window`'s outer rectangle, or of the whole screen for nullptr, once
// what the window painted has reached the screen; nullopt when they cannot be read.
std::optional<ScreenPixels> CaptureScreen(HWND window);

// Copies the screen area of `window` (its outer rectangle), or the whole screen when
// `window` is nullptr, into a 24-bit BMP file. Returns false when nothing was written.
bool SaveScreenshot(HWND window, const std::wstring& path);

}  // namespace e2e
