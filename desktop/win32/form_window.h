#pragma once
// The real window of a form: a top-level window of a private dialog class (so the
// dialog manager gives it Tab order, access letters, Enter, Esc and focus memory)
// with one standard control per entry of the form's layout.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/form.h"
#include "desktop/win32/system_functions.h"

namespace desktop::win32 {

// What a form window asks of the shell that owns it.
class FormHost {
  public:
    // The user or another program asked the form to close (close box 0, task list 3).
    virtual void UnloadFromOutside(Form& form, int unloadMode) = 0;
    // The system's functions, W or A.
    virtual const SystemFunctions& System() const = 0;

  protected:
    ~FormHost() = default;
};

class Win32FormWindow final : public FormWindow {
  public:
    // Creates the window and its controls, invisible. `ownerForm` is the window of the
    // owning form, or null; `hiddenOwner` owns forms kept out of the taskbar that have
    // no owner form. Throws DesktopError when a window cannot be created.
    Win32FormWindow(FormHost& host, Form& form, HWND ownerForm, HWND hiddenOwner);
    ~Win32FormWindow() override;
    Win32FormWindow(const Win32FormWindow&) = delete;
    Win32FormWindow& operator=(const Win32FormWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // Shows the window in front with the focus; the first time, on its first tab stop.
    void Present();
    void SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
    // While a modal loop runs for it: the owner gets enabled again before this window
    // is destroyed.
    void SetModal(bool modal) { modal_ = modal; }

    // For the dialog manager: is `window` the window of a form?
    static bool IsFormWindow(HWND window);
    // Registers the forms' window class, W or A; the first call does, and must come
    // before any form window is made.
    static void RegisterClassWith(const SystemFunctions& system);

    void SetCaption(std::u16string_view caption) override;
    std::u16string Caption() const override;
    void SetVisible(bool visible) override;
    bool Visible() const override;
    void Minimise() override;
    bool Minimised() const override;
    void SetText(std::string_view control, std::u16string_view text) override;
    std::u16string Text(std::string_view control) const override;
    void SetValue(std::string_view control, int value) override;
    int Value(std::string_view control) const override;

  private:
    struct Control {
        const ControlLayout* layout;
        HWND hwnd;
        int id;
        std::optional<COLORREF> background;
        HBRUSH brush;
        std::u16string text;  // a text box's text as its last Change left it
    };

    static ATOM formClass_;
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    std::optional<LRESULT> OnCommand(int id, int code);
    bool TextChanged(Control& control);
    LRESULT OnClose(int unloadMode);
    LRESULT OnGetDefId() const;
    std::optional<LRESULT> OnPresent();
    std::optional<LRESULT> OnCtlColor(UINT message, HDC dc, HWND child) const;

    void CreateControls(int dpi);
    void CreateControl(const ControlLayout& layout, bool inTabOrder, int dpi);
    HFONT FontFor(const FontSpec& spec, int dpi);
    std::u16string TextOf(HWND window) const { return host_.System().TextOf(window); }
    HBRUSH NewBrush(COLORREF colour);
    const Control& ControlNamed(std::string_view name) const;
    // The control's place in the layout, and in controls_.
    std::size_t IndexOf(const ControlLayout& layout) const;
    void ReleaseResources();

    FormHost& host_;
    Form& form_;
    HWND hwnd_ = nullptr;
    // Posted to itself by Present; see there.
    static constexpr UINT kPresentMessage = WM_APP + 1;
    bool presented_ = false;
    bool presentPending_ = false;
    bool modal_ = false;
    std::vector<Control> controls_;  // in the layout's order
    std::optional<COLORREF> background_;
    HBRUSH backgroundBrush_ = nullptr;
    std::vector<std::pair<FontSpec, HFONT>> fonts_;
    std::vector<HBRUSH> brushes_;
};

// Pixels for a length in twips at `dpi` dots per inch, rounded.
inline int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

}  // namespace desktop::win32
