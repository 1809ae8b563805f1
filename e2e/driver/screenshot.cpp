#include "e2e/driver/screenshot.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "e2e/driver/wait.h"

namespace e2e {

namespace {

// A window that has just been shown may not have painted yet, and under Wine what it
// painted reaches the screen a moment later. A picture is taken once two captures
// this far apart agree, or when the bound runs out (a blinking caret never agrees).
constexpr Millis kSettle{50};
constexpr Millis kSettleLimit{2000};
constexpr UINT kResponsiveTimeoutMs = 1000;

// Releases the GDI objects of one capture in the reverse order of their creation.
struct Gdi {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = nullptr;

    Gdi() = default;
    ~Gdi() {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    Gdi(const Gdi&) = delete;
    Gdi& operator=(const Gdi&) = delete;
};

BITMAPINFOHEADER Header(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;  // positive: rows bottom-up, as BMP files store them
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    return header;
}

size_t Stride(LONG width) { return ((static_cast<size_t>(width) * 3) + 3) & ~size_t{3}; }

// The screen's pixels in `area` as 24-bit BMP rows; nullopt when GDI fails.
std::optional<std::vector<char>> Grab(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    Gdi gdi;
    gdi.bitmap = CreateCompatibleBitmap(gdi.screen, width, height);
    if (gdi.bitmap == nullptr) {
        return std::nullopt;
    }
    HGDIOBJ previous = SelectObject(gdi.memory, gdi.bitmap);
    const BOOL copied = BitBlt(gdi.memory, 0, 0, width, height, gdi.screen, area.left, area.top,
                               SRCCOPY | CAPTUREBLT);
    SelectObject(gdi.memory, previous);
    if (!copied) {
        return std::nullopt;
    }
    BITMAPINFOHEADER header = Header(width, height);
    std::vector<char> pixels(Stride(width) * static_cast<size_t>(height));
    if (GetDIBits(gdi.memory, gdi.bitmap, 0, static_cast<UINT>(height), pixels.data(),
                  reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) != height) {
        return std::nullopt;
    }
    return pixels;
}

// Asks a responsive window to paint itself and its children now.
void Repaint(HWND window) {
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kResponsiveTimeoutMs,
                            &ignored) != 0) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

}  // namespace

COLORREF ScreenPixels::At(LONG x, LONG y) const {
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    const char* pixel = rows.data() +
                        Stride(width) * static_cast<size_t>(height - 1 - (y - area.top)) +
                        3 * static_cast<size_t>(x - area.left);
    const auto channel = [&](int i) { return static_cast<BYTE>(pixel[i]); };
    return RGB(channel(2), channel(1), channel(0));
}

std::optional<ScreenPixels> CaptureScreen(HWND window) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window != nullptr) {
        if (!GetWindowRect(window, &area)) {
            return std::nullopt;
        }
        Repaint(window);
    }
    if (area.right <= area.left || area.bottom <= area.top) {
        return std::nullopt;
    }
    using Clock = std::chrono::steady_clock;
    std::optional<std::vector<char>> pixels = Grab(area);
    auto grabbed = Clock::now();
    WaitUntil(
        [&] {
            if (Clock::now() - grabbed < kSettle) {
                return false;
            }
            auto next = Grab(area);
            grabbed = Clock::now();
            const bool settled = !pixels || !next || *next == *pixels;
            pixels = std::move(next);
            return settled;
        },
        kSettleLimit);
    if (!pixels) {
        return std::nullopt;
    }
    return ScreenPixels{area, std::move(*pixels)};
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
    const std::optional<ScreenPixels> capture = CaptureScreen(window);
    if (!capture) {
        return false;
    }
    const std::vector<char>& rows = capture->rows;
    const int width = capture->area.right - capture->area.left;
    const int height = capture->area.bottom - capture->area.top;
    const BITMAPINFOHEADER header = Header(width, height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + rows.size());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(rows.data(), static_cast<std::streamsize>(rows.size()));
    return static_cast<bool>(out);
}

}  // namespace e2e
