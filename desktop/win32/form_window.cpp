#include "desktop/win32/form_window.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "desktop/form_rules.h"
#include "desktop/platform_shell.h"
#include "desktop/win32/win32_text.h"

namespace desktop::win32 {
namespace {

constexpr char kFormClass[] = "QuintaroForm";
// Clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
constexpr int kFirstControlId = 100;

COLORREF ToColorRef(const Rgb& rgb) { return RGB(rgb.r, rgb.g, rgb.b); }

// Resources by number: the A forms, which take the same numbers on every Windows.
HICON AppIcon() {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    return icon != nullptr ? icon : LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
}

// The application icon's image drawn for the small-icon size (the caption, the taskbar),
// rather than the large one shrunk.
HICON SmallAppIcon() {
    const auto icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return icon != nullptr ? icon : AppIcon();
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

DesktopError CreationError(const std::string& what) {
    return DesktopError("cannot create " + what + ": " + ErrorText(GetLastError()));
}

// Whether another window of this program than `window` has the front.
bool AnotherOfOurWindowsInFront(HWND window) {
    HWND front = GetForegroundWindow();
    DWORD process = 0;
    if (front != nullptr) GetWindowThreadProcessId(front, &process);
    return front != nullptr && front != window && process == GetCurrentProcessId();
}

}  // namespace

ATOM Win32FormWindow::formClass_ = 0;

void Win32FormWindow::RegisterClassWith(const SystemFunctions& system) {
    if (formClass_ != 0) return;
    // Dialog extra bytes let the dialog procedure keep the focus and default-button state.
    formClass_ = system.RegisterWindowClass(kFormClass, WndProc, DLGWINDOWEXTRA,
                                            LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
}

bool Win32FormWindow::IsFormWindow(HWND window) {
    return window != nullptr && formClass_ != 0 && GetClassLongA(window, GCW_ATOM) == formClass_;
}

Win32FormWindow::Win32FormWindow(FormHost& host, Form& form, HWND ownerForm, HWND hiddenOwner)
    : host_(host), form_(form) {
    const FormLayout& layout = form.Layout();
    const int dpi = ScreenDpi();

    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = 0;
    if (layout.border == BorderStyle::FixedDialog) {
        style |= WS_DLGFRAME;
        exStyle |= WS_EX_DLGMODALFRAME;
    } else {
        style |= WS_BORDER;
    }
    if (layout.minButton) style |= WS_MINIMIZEBOX;
    if (layout.maxButton) style |= WS_MAXIMIZEBOX;
    // Owned windows stay out of the taskbar; one that belongs there asks for it.
    HWND owner = ownerForm != nullptr ? ownerForm : (layout.showInTaskbar ? nullptr : hiddenOwner);
    if (layout.showInTaskbar && owner != nullptr) exStyle |= WS_EX_APPWINDOW;

    RECT frame{0, 0, TwipsToPixels(layout.clientWidth, dpi),
               TwipsToPixels(layout.clientHeight, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    int x = 0;
    int y = 0;
    if (layout.clientPosition) {
        x = TwipsToPixels(layout.clientPosition->left, dpi) + frame.left;
        y = TwipsToPixels(layout.clientPosition->top, dpi) + frame.top;
    } else {
        RECT around{};
        if (ownerForm == nullptr || IsIconic(ownerForm) || !GetWindowRect(ownerForm, &around)) {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
        }
        x = around.left + (around.right - around.left - width) / 2;
        y = around.top + (around.bottom - around.top - height) / 2;
    }

    if (layout.background) {
        background_ = ToColorRef(*layout.background);
        backgroundBrush_ = NewBrush(*background_);
    }
    const SystemFunctions& system = host_.System();
    hwnd_ = system.NewWindow(exStyle, formClass_, layout.caption, style,
                             RECT{x, y, x + width, y + height}, owner, this);
    if (hwnd_ == nullptr) {
        ReleaseResources();
        throw CreationError("the window of form " + layout.name);
    }
    try {
        system.SendTo(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(FontSpec{}, dpi)), FALSE);
        if (layout.appIcon) {
            system.SendTo(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon()));
            system.SendTo(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallAppIcon()));
        }
        CreateControls(dpi);
    } catch (...) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        ReleaseResources();
        throw;
    }
}

Win32FormWindow::~Win32FormWindow() {
    // Messages sent while the window goes must not reach this half-destroyed object.
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    // A modal window destroyed while its owner is still disabled hands the activation
    // to another program's window.
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (modal_ && IsFormWindow(owner)) EnableWindow(owner, TRUE);
    DestroyWindow(hwnd_);
    ReleaseResources();
}

void Win32FormWindow::ReleaseResources() {
    for (auto& [spec, font] : fonts_) DeleteObject(font);
    for (HBRUSH brush : brushes_) DeleteObject(brush);
    fonts_.clear();
    brushes_.clear();
}

void Win32FormWindow::CreateControls(int dpi) {
    const FormLayout& layout = form_.Layout();
    controls_.resize(layout.controls.size());
    // Tab order is z-order for the dialog manager, and children stack in creation order.
    const std::vector<const ControlLayout*> tabOrder = TabOrder(layout);
    for (const ControlLayout* control : tabOrder) CreateControl(*control, true, dpi);
    // The rest below them, labels last: a classic label is drawn on the form itself,
    // beneath every control that overlaps it.
    for (bool labels : {false, true}) {
        for (const ControlLayout& control : layout.controls) {
            if ((control.kind == ControlKind::Label) == labels &&
                std::ranges::find(tabOrder, &control) == tabOrder.end()) {
                CreateControl(control, false, dpi);
            }
        }
    }
    if (const ControlLayout* button = DefaultButton(layout)) {
        host_.System().SendTo(hwnd_, DM_SETDEFID, controls_[IndexOf(*button)].id, 0);
    }
}

void Win32FormWindow::CreateControl(const ControlLayout& layout, bool inTabOrder, int dpi) {
    const char* windowClass = "STATIC";
    // Overlapping controls paint in z-order only when each clips its siblings.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    if (inTabOrder) style |= WS_GROUP | (IsFocusable(layout.kind) ? WS_TABSTOP : 0u);
    switch (layout.kind) {
        case ControlKind::Label:
            // Labels show data (a key, a command line) as it is: an '&' there is no access
            // letter, so nothing is eaten or underlined.
            style |= SS_NOPREFIX;
            style |= layout.align == TextAlign::Centre  ? SS_CENTER
                     : layout.align == TextAlign::Right ? SS_RIGHT
                                                        : SS_LEFT;
            break;
        case ControlKind::Button:
            windowClass = "BUTTON";
            style |= layout.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            break;
        case ControlKind::TextBox:
            windowClass = "EDIT";
            style |= WS_BORDER | ES_AUTOHSCROLL;
            style |= layout.align == TextAlign::Centre  ? ES_CENTER
                     : layout.align == TextAlign::Right ? ES_RIGHT
                                                        : ES_LEFT;
            break;
        case ControlKind::CheckBox:
            windowClass = "BUTTON";
            style |= BS_AUTOCHECKBOX | (layout.boxRight ? BS_LEFTTEXT | BS_RIGHTBUTTON : 0u);
            break;
        case ControlKind::PictureBox:
            style |= layout.showsAppIcon ? SS_ICON : SS_LEFT;
            break;
    }
    // Ids follow the layout, so a command's id leads straight to its control.
    const std::size_t index = IndexOf(layout);
    const int id = kFirstControlId + static_cast<int>(index);
    const int x = TwipsToPixels(layout.rect.left, dpi);
    const int y = TwipsToPixels(layout.rect.top, dpi);
    const int width = TwipsToPixels(layout.rect.width, dpi);
    const int height = TwipsToPixels(layout.rect.height, dpi);
    const std::u16string text = layout.kind == ControlKind::PictureBox ? u"" : layout.content;
    const SystemFunctions& system = host_.System();
    HWND child =
        system.NewControl(windowClass, text, style, RECT{x, y, x + width, y + height}, hwnd_, id);
    if (child == nullptr) throw CreationError("control " + layout.name);
    system.SendTo(child, WM_SETFONT,
                  reinterpret_cast<WPARAM>(FontFor(layout.font.value_or(FontSpec{}), dpi)), FALSE);
    if (layout.kind == ControlKind::TextBox && layout.maxLength > 0) {
        system.SendTo(child, EM_LIMITTEXT, static_cast<WPARAM>(layout.maxLength), 0);
    }
    if (layout.kind == ControlKind::PictureBox && layout.showsAppIcon) {
        system.SendTo(child, STM_SETICON, reinterpret_cast<WPARAM>(AppIcon()), 0);
        // Setting the icon shrinks the control to the icon; the layout's size stands.
        MoveWindow(child, x, y, width, height, FALSE);
    }
    Control control{&layout, child, id, std::nullopt, nullptr, TextOf(child)};
    if (layout.background) {
        control.background = ToColorRef(*layout.background);
        control.brush = NewBrush(*control.background);
    }
    controls_[index] = control;
}

HFONT Win32FormWindow::FontFor(const FontSpec& spec, int dpi) {
    for (const auto& [known, font] : fonts_) {
        if (known.face == spec.face && known.points == spec.points && known.bold == spec.bold) {
            return font;
        }
    }
    const auto height = static_cast<int>(std::lround(spec.points * dpi / 72.0));
    HFONT font = host_.System().NewFont(-height, spec.bold, spec.face);
    if (font == nullptr) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace_back(spec, font);
    return font;
}

HBRUSH Win32FormWindow::NewBrush(COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush != nullptr) brushes_.push_back(brush);
    return brush;
}

LRESULT CALLBACK Win32FormWindow::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32FormWindow*>(
            reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // A handler may unload the form, deleting `self`: nothing touches it after the call.
    if (self != nullptr) {
        if (auto result = self->OnMessage(message, wparam, lparam)) return *result;
    }
    // The class was registered W or A, and the default procedure must match it.
    return IsWindowUnicode(hwnd) != FALSE ? DefDlgProcW(hwnd, message, wparam, lparam)
                                          : DefDlgProcA(hwnd, message, wparam, lparam);
}

std::optional<LRESULT> Win32FormWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(LOWORD(wparam), HIWORD(wparam));
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE) return OnClose(kUnloadControlMenu);
            break;
        case WM_CLOSE:
            return OnClose(kUnloadTaskList);
        case DM_GETDEFID:
            return OnGetDefId();
        case kPresentMessage:
            return OnPresent();
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORDLG:
            return OnCtlColor(message, reinterpret_cast<HDC>(wparam),
                              reinterpret_cast<HWND>(lparam));
        default:
            break;
    }
    return std::nullopt;
}

std::optional<LRESULT> Win32FormWindow::OnCommand(int id, int code) {
    Control* target = nullptr;
    if (id == IDCANCEL) {
        if (const ControlLayout* button = CancelButton(form_.Layout())) {
            target = &controls_[IndexOf(*button)];
            if (!IsWindowEnabled(target->hwnd)) target = nullptr;
        }
        code = BN_CLICKED;
    } else if (id >= kFirstControlId && id - kFirstControlId < static_cast<int>(controls_.size())) {
        target = &controls_[static_cast<std::size_t>(id - kFirstControlId)];
    }
    // A control still being created has no layout yet.
    if (target == nullptr || target->layout == nullptr) return std::nullopt;
    const ControlLayout& layout = *target->layout;
    const bool clickable =
        layout.kind == ControlKind::Button || layout.kind == ControlKind::CheckBox;
    if (clickable && code == BN_CLICKED) {
        form_.OnClick(layout.name);
    } else if (layout.kind == ControlKind::TextBox && code == EN_CHANGE) {
        if (TextChanged(*target)) form_.OnChange(layout.name);
    } else {
        return std::nullopt;
    }
    return 0;
}

bool Win32FormWindow::TextChanged(Control& control) {
    // Wine's edit control notifies EN_CHANGE for a key refused at the length limit too.
    std::u16string text = TextOf(control.hwnd);
    if (text == control.text) return false;
    control.text = std::move(text);
    return true;
}

LRESULT Win32FormWindow::OnClose(int unloadMode) {
    host_.UnloadFromOutside(form_, unloadMode);
    return 0;
}

LRESULT Win32FormWindow::OnGetDefId() const {
    const ControlLayout* button = DefaultButton(form_.Layout());
    return button != nullptr ? MAKELRESULT(controls_[IndexOf(*button)].id, DC_HASDEFID) : 0;
}

std::optional<LRESULT> Win32FormWindow::OnCtlColor(UINT message, HDC dc, HWND child) const {
    auto it = std::find_if(controls_.begin(), controls_.end(),
                           [&](const Control& c) { return c.hwnd == child; });
    const Control* control = it != controls_.end() ? &*it : nullptr;
    if (control != nullptr && control->brush != nullptr) {
        SetBkColor(dc, *control->background);
        return reinterpret_cast<LRESULT>(control->brush);
    }
    // The form's colour shows through everything on it but a text box.
    const bool onForm =
        control != nullptr ? control->layout->kind != ControlKind::TextBox : child == hwnd_;
    if (backgroundBrush_ == nullptr || message == WM_CTLCOLOREDIT || !onForm) {
        return std::nullopt;
    }
    SetBkColor(dc, *background_);
    return reinterpret_cast<LRESULT>(backgroundBrush_);
}

std::size_t Win32FormWindow::IndexOf(const ControlLayout& layout) const {
    return static_cast<std::size_t>(&layout - form_.Layout().controls.data());
}

const Win32FormWindow::Control& Win32FormWindow::ControlNamed(std::string_view name) const {
    return controls_[IndexOf(desktop::ControlNamed(form_.Layout(), name))];
}

// Shown at the next turn of the message loop rather than at once: a form whose own
// activation hides it again (a preselector started hidden, or hidden from the options
// dialog) then never flashes on screen nor takes the focus from the user's window.
void Win32FormWindow::Present() {
    presentPending_ = true;
    host_.System().PostTo(hwnd_, kPresentMessage, 0, 0);
}

std::optional<LRESULT> Win32FormWindow::OnPresent() {
    if (!std::exchange(presentPending_, false)) return 0;
    ShowWindow(hwnd_, SW_SHOW);
    // Presented again (a modal window of ours has closed), the form takes the front only
    // from another window of this program: the system has normally handed it the front
    // already, and this runs a turn later, when the user may have clicked another
    // program's window, whose activation can still be under way (the front reads as
    // nobody's for a moment). Taking it then would send the user's keys here.
    if (!presented_ || AnotherOfOurWindowsInFront(hwnd_)) SetForegroundWindow(hwnd_);
    if (presented_) return 0;
    presented_ = true;
    const std::vector<const ControlLayout*> stops = TabStops(form_.Layout());
    if (!stops.empty()) {
        host_.System().SendTo(hwnd_, WM_NEXTDLGCTL,
                              reinterpret_cast<WPARAM>(controls_[IndexOf(*stops[0])].hwnd), TRUE);
    }
    return 0;
}

void Win32FormWindow::SetCaption(std::u16string_view caption) {
    host_.System().SetTextOf(hwnd_, caption);
}

std::u16string Win32FormWindow::Caption() const { return TextOf(hwnd_); }

void Win32FormWindow::SetVisible(bool visible) {
    if (!visible) presentPending_ = false;
    ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
}

bool Win32FormWindow::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void Win32FormWindow::Minimise() { ShowWindow(hwnd_, SW_MINIMIZE); }

bool Win32FormWindow::Minimised() const { return IsIconic(hwnd_) != FALSE; }

void Win32FormWindow::SetText(std::string_view control, std::u16string_view text) {
    HWND child = ControlNamed(control).hwnd;
    // Assigning the same text must raise no Change; the edit control would notify anyway.
    if (TextOf(child) == text) return;
    host_.System().SetTextOf(child, text);
}

std::u16string Win32FormWindow::Text(std::string_view control) const {
    return TextOf(ControlNamed(control).hwnd);
}

void Win32FormWindow::SetValue(std::string_view control, int value) {
    host_.System().SendTo(ControlNamed(control).hwnd, BM_SETCHECK,
                          value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Win32FormWindow::Value(std::string_view control) const {
    return host_.System().SendTo(ControlNamed(control).hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1
                                                                                               : 0;
}

}  // namespace desktop::win32
