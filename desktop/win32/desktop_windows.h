#pragma once
// The title search's questions about other programs' windows, asked of Win32.
#include <windows.h>

#include "desktop/win32/system_functions.h"
#include "desktop/window_search.h"

namespace desktop::win32 {

class DesktopWindows final : public WindowSearch::System {
  public:
    explicit DesktopWindows(const SystemFunctions& system) : system_(system) {}

    std::vector<WindowHandle> TopLevelWindows() override;
    std::optional<std::u16string> FoldedTitle(WindowHandle window, std::size_t longest) override;
    std::u16string Folded(std::u16string_view text) override { return system_.UpperCase(text); }
    WindowHandle Foreground() override { return HandleToLong(GetForegroundWindow()); }
    bool Visible(WindowHandle window) override;
    bool Ours(WindowHandle window) override;
    bool TopLevel(WindowHandle window) override;

  private:
    static BOOL CALLBACK Collect(HWND window, LPARAM list);

    const SystemFunctions& system_;
};

}  // namespace desktop::win32
