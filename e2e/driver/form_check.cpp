#include "e2e/driver/form_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "desktop/win32/system_functions.h"
#include "e2e/driver/screenshot.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace e2e {
namespace {

using desktop::ControlKind;
using desktop::ControlLayout;
using desktop::FormLayout;
using desktop::TextAlign;

constexpr UINT kAnswerTimeoutMs = 5000;

std::wstring Wide(const std::u16string& text) { return {text.begin(), text.end()}; }

std::string Fixed(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

std::string Size(LONG width, LONG height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string Sized(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
           Size(rect.right - rect.left, rect.bottom - rect.top);
}

// A caption in quotes on one line.
std::string Quoted(const std::wstring& text) {
    std::string quoted = "\"";
    for (const char ch : ToUtf8(text)) {
        quoted += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : std::string(1, ch);
    }
    return quoted + "\"";
}

std::string ColourName(COLORREF colour) {
    return "R" + std::to_string(GetRValue(colour)) + " G" + std::to_string(GetGValue(colour)) +
           " B" + std::to_string(GetBValue(colour));
}

const char* AlignName(TextAlign align) {
    return align == TextAlign::Centre ? "centre" : align == TextAlign::Right ? "right" : "left";
}

const char* KindName(ControlKind kind) {
    constexpr const char* kNames[] = {"label", "button", "text box", "check box", "picture box"};
    return kNames[static_cast<int>(kind)];  // in ControlKind's order
}

bool HasKind(const Control& control, const ControlLayout& design) {
    const LONG style = GetWindowLongW(control.handle, GWL_STYLE);
    const LONG button = style & BS_TYPEMASK;
    const auto classIs = [&](const wchar_t* name) {
        return _wcsicmp(control.className.c_str(), name) == 0;
    };
    switch (design.kind) {
        case ControlKind::Label:
        case ControlKind::PictureBox:
            return classIs(L"Static") && ((style & SS_TYPEMASK) == SS_ICON) == design.showsAppIcon;
        case ControlKind::TextBox:
            return classIs(L"Edit");
        case ControlKind::Button:
            return classIs(L"Button") && (button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON);
        case ControlKind::CheckBox:
            return classIs(L"Button") && (button == BS_CHECKBOX || button == BS_AUTOCHECKBOX);
    }
    return false;
}

// A control whose caption the layout gives is told apart by it; a text box shows the
// user's text, and an empty caption is set at run time.
bool KnownByCaption(const ControlLayout& design) {
    return design.kind != ControlKind::TextBox && design.kind != ControlKind::PictureBox &&
           !design.content.empty();
}

// The colour most pixels of `area` (on the screen) show outside `holes`: text and marks
// cover a small share of a control or a form.
std::optional<COLORREF> CommonestColour(const ScreenPixels& screen, RECT area,
                                        const std::vector<RECT>& holes) {
    IntersectRect(&area, &area, &screen.area);
    std::map<COLORREF, int> counts;
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x) {
            const POINT at{x, y};
            if (std::none_of(holes.begin(), holes.end(),
                             [&](const RECT& hole) { return PtInRect(&hole, at); })) {
                ++counts[screen.At(x, y)];
            }
        }
    }
    if (counts.empty()) return std::nullopt;
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

class FormCheck {
  public:
    FormCheck(HWND form, const FormLayout& layout, int dpi)
        : form_(form), layout_(layout), dpi_(dpi), controls_(Controls(form)) {
        ClientToScreen(form_, &origin_);
    }

    std::vector<std::string> Run() {
        CheckFrame();
        CheckPlace();
        CheckControls();
        CheckTabOrder();
        if (layout_.background) {
            RECT client{};
            GetClientRect(form_, &client);
            std::vector<RECT> holes;
            for (const Control& control : controls_) holes.push_back(OnScreen(control.rect));
            CheckColour(layout_.name + " background", OnScreen(client), holes, *layout_.background);
        }
        return lines_;
    }

  private:
    void Note(const std::string& subject, const std::string& text) {
        lines_.push_back(subject + ": " + text);
    }

    double Pixels(int twips) const { return twips * static_cast<double>(dpi_) / 1440.0; }
    // Twips converted to pixels may round either way.
    bool Near(LONG pixels, int twips) const { return std::abs(pixels - Pixels(twips)) <= 1.0; }
    std::string Designed(const desktop::TwipRect& twips) const {
        return Fixed(Pixels(twips.left)) + "," + Fixed(Pixels(twips.top)) + " " +
               Fixed(Pixels(twips.width)) + "x" + Fixed(Pixels(twips.height));
    }
    RECT OnScreen(RECT rect) const {
        OffsetRect(&rect, origin_.x, origin_.y);
        return rect;
    }

    void CheckFrame() {
        const std::wstring caption = WindowText(form_);
        // An empty caption in the layout is one the form sets when it is shown.
        if (!layout_.caption.empty() && caption != Wide(layout_.caption)) {
            Note(layout_.name, "caption " + Quoted(caption) + "; the layout says " +
                                   Quoted(Wide(layout_.caption)));
        }
        const LONG style = GetWindowLongW(form_, GWL_STYLE);
        const LONG exStyle = GetWindowLongW(form_, GWL_EXSTYLE);
        const bool dialog = layout_.border == desktop::BorderStyle::FixedDialog;
        struct Bit {
            const char* name;
            LONG styles;
            LONG bits;
            bool wanted;
            const char* asked;
        };
        // WS_CAPTION is WS_BORDER | WS_DLGFRAME, so every captioned window has both bits;
        // a dialog's border shows in WS_EX_DLGMODALFRAME alone. Neither border sizes.
        const Bit bits[] = {
            {"WS_CAPTION", style, WS_CAPTION, true, "a title bar"},
            {"WS_SYSMENU", style, WS_SYSMENU, true, "a close box"},
            {"WS_THICKFRAME", style, WS_THICKFRAME, false, "a fixed border"},
            {"WS_MINIMIZEBOX", style, WS_MINIMIZEBOX, layout_.minButton,
             layout_.minButton ? "a minimise button" : "no minimise button"},
            {"WS_MAXIMIZEBOX", style, WS_MAXIMIZEBOX, layout_.maxButton,
             layout_.maxButton ? "a maximise button" : "no maximise button"},
            {"WS_EX_DLGMODALFRAME", exStyle, WS_EX_DLGMODALFRAME, dialog,
             dialog ? "a FixedDialog border" : "a FixedSingle border"},
        };
        for (const Bit& bit : bits) {
            const bool has = (bit.styles & bit.bits) == bit.bits;
            if (has != bit.wanted) {
                Note(layout_.name, std::string(bit.name) + (has ? " set" : " missing") +
                                       "; the layout asks for " + bit.asked);
            }
        }
        // When the system gives a window a taskbar button.
        const bool inTaskbar =
            (exStyle & WS_EX_APPWINDOW) != 0 ||
            (GetWindow(form_, GW_OWNER) == nullptr && (exStyle & WS_EX_TOOLWINDOW) == 0);
        if (inTaskbar != layout_.showInTaskbar) {
            Note(layout_.name, inTaskbar ? "has a taskbar button" : "has no taskbar button");
        }
    }

    void CheckPlace() {
        RECT client{};
        GetClientRect(form_, &client);
        if (!Near(client.right, layout_.clientWidth) ||
            !Near(client.bottom, layout_.clientHeight)) {
            Note(layout_.name, "client area " + Size(client.right, client.bottom) +
                                   " px; its twips give " + Fixed(Pixels(layout_.clientWidth)) +
                                   "x" + Fixed(Pixels(layout_.clientHeight)));
        }
        if (const auto& at = layout_.clientPosition) {
            if (!Near(origin_.x, at->left) || !Near(origin_.y, at->top)) {
                Note(layout_.name, "client area at " + std::to_string(origin_.x) + "," +
                                       std::to_string(origin_.y) +
                                       " on the screen; its twips give " + Fixed(Pixels(at->left)) +
                                       "," + Fixed(Pixels(at->top)));
            }
            return;
        }
        RECT window{};
        RECT around{};
        GetWindowRect(form_, &window);
        const HWND owner = GetWindow(form_, GW_OWNER);
        const bool onOwner = owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner) &&
                             GetWindowRect(owner, &around);
        if (!onOwner) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
        // Centres doubled: a size odd by one pixel leaves half a pixel either way.
        if (std::abs(window.left + window.right - around.left - around.right) > 2 ||
            std::abs(window.top + window.bottom - around.top - around.bottom) > 2) {
            Note(layout_.name, "window at " + Sized(window) + " is not centred on " +
                                   (onOwner ? "its owner at " : "the work area ") + Sized(around));
        }
    }

    void CheckControls() {
        if (controls_.size() != layout_.controls.size()) {
            Note(layout_.name, std::to_string(controls_.size()) + " controls; the layout has " +
                                   std::to_string(layout_.controls.size()));
        }
        std::vector<HWND> claimed;
        DWORD_PTR defId = 0;
        SendMessageTimeoutW(form_, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &defId);
        const int defaultId = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : 0;
        // Those known by their captions first; the rest then go by place among the others.
        for (bool byCaption : {true, false}) {
            for (const ControlLayout& design : layout_.controls) {
                if (KnownByCaption(design) != byCaption) continue;
                const Control* best = nullptr;
                double bestDistance = 0;
                for (const Control& control : controls_) {
                    if (std::find(claimed.begin(), claimed.end(), control.handle) !=
                            claimed.end() ||
                        !HasKind(control, design) ||
                        (byCaption && control.text != Wide(design.content))) {
                        continue;
                    }
                    const double distance = std::abs(control.rect.left - Pixels(design.rect.left)) +
                                            std::abs(control.rect.top - Pixels(design.rect.top));
                    if (best == nullptr || distance < bestDistance) {
                        best = &control;
                        bestDistance = distance;
                    }
                }
                if (best == nullptr) {
                    Note(design.name, std::string("no ") + KindName(design.kind) +
                                          (byCaption ? " " + Quoted(Wide(design.content)) : "") +
                                          " on the form");
                    continue;
                }
                claimed.push_back(best->handle);
                found_[design.name] = best->handle;
                CheckControl(design, *best);
                const bool isDefault = defaultId != 0 && best->id == defaultId;
                if (design.kind == ControlKind::Button && isDefault != design.isDefault) {
                    Note(design.name,
                         isDefault ? "is the default button" : "is not the default button");
                }
            }
        }
    }

    void CheckControl(const ControlLayout& design, const Control& control) {
        const RECT& at = control.rect;
        const auto& twips = design.rect;
        if (!Near(at.left, twips.left) || !Near(at.top, twips.top) ||
            !Near(at.right - at.left, twips.width) || !Near(at.bottom - at.top, twips.height)) {
            Note(design.name, "at " + Sized(at) + " px; its twips give " + Designed(twips));
        }
        RECT client{};
        RECT inside{};
        GetClientRect(form_, &client);
        IntersectRect(&inside, &at, &client);
        if (!control.visible || !control.enabled || !EqualRect(&inside, &at)) {
            Note(design.name, "hidden, disabled or not wholly inside the client area");
        }
        CheckStyle(design, control);
        if (design.kind != ControlKind::PictureBox) CheckFont(design, control);
        if (design.background) {
            CheckColour(design.name + " background", OnScreen(at), {}, *design.background);
        }
    }

    void CheckStyle(const ControlLayout& design, const Control& control) {
        const LONG style = GetWindowLongW(control.handle, GWL_STYLE);
        std::optional<TextAlign> align;
        if (design.kind == ControlKind::Label) {
            const LONG type = style & SS_TYPEMASK;
            align = type == SS_CENTER  ? TextAlign::Centre
                    : type == SS_RIGHT ? TextAlign::Right
                                       : TextAlign::Left;
        }
        if (design.kind == ControlKind::TextBox) {
            align = (style & ES_CENTER) != 0  ? TextAlign::Centre
                    : (style & ES_RIGHT) != 0 ? TextAlign::Right
                                              : TextAlign::Left;
            DWORD_PTR limit = 0;
            SendMessageTimeoutW(control.handle, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG,
                                kAnswerTimeoutMs, &limit);
            if (design.maxLength > 0 && limit != static_cast<DWORD_PTR>(design.maxLength)) {
                Note(design.name, "takes " + std::to_string(limit) +
                                      " characters; the layout says " +
                                      std::to_string(design.maxLength));
            }
        }
        if (align && *align != design.align) {
            Note(design.name, std::string("aligned ") + AlignName(*align) + "; the layout says " +
                                  AlignName(design.align));
        }
        if (design.kind == ControlKind::CheckBox &&
            ((style & BS_LEFTTEXT) != 0) != design.boxRight) {
            Note(design.name, design.boxRight ? "box left of its caption, not right"
                                              : "box right of its caption, not left");
        }
    }

    // The dialog manager's order of the tab stops, and the focus on the first one: the form
    // has just opened.
    void CheckTabOrder() {
        std::vector<HWND> stops;
        for (const std::string& name : layout_.tabOrder) {
            if (const auto it = found_.find(name); it != found_.end()) stops.push_back(it->second);
        }
        // None, or a control missing, which is told already.
        if (stops.empty() || stops.size() != layout_.tabOrder.size()) return;
        HWND focus = nullptr;
        WaitUntil([&] { return (focus = FocusedWindow(form_)) == stops.front(); }, Millis{2000});
        if (focus != stops.front()) {
            Note(layout_.name, "the focus is on " + Quoted(WindowText(focus)) +
                                   ", not on the first tab stop " + layout_.tabOrder.front());
        }
        for (std::size_t i = 0; i < stops.size(); ++i) {
            const HWND next = GetNextDlgTabItem(form_, stops[i], FALSE);
            if (next != stops[(i + 1) % stops.size()]) {
                Note(layout_.tabOrder[i], "Tab goes on to " + Quoted(WindowText(next)) +
                                              ", not to " +
                                              layout_.tabOrder[(i + 1) % stops.size()]);
            }
        }
    }

    // A control's font can be asked for only inside the process that made it: Wine 8 fails
    // WM_GETFONT sent from another process, and a font handle names nothing outside its
    // own. The toolkit sets each font from the layout when it makes the control, so the
    // programs' forms are also made in this process (own_form.h) to have their fonts held
    // there; another program's captions are measured in the font the layout names.
    void CheckFont(const ControlLayout& design, const Control& control) {
        const desktop::FontSpec spec = design.font.value_or(desktop::FontSpec{});
        const double pixels = spec.points * dpi_ / 72.0;
        LOGFONTW font{};
        if (ProcessOf(form_) != GetCurrentProcessId()) {
            font.lfHeight = -std::lround(pixels);
            font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
            font.lfCharSet = DEFAULT_CHARSET;
            Wide(spec.face).copy(font.lfFaceName, LF_FACESIZE - 1);
            CheckFits(design, control, font);
            return;
        }
        const auto made = reinterpret_cast<HFONT>(SendMessageW(control.handle, WM_GETFONT, 0, 0));
        if (made == nullptr || GetObjectW(made, sizeof font, &font) == 0) {
            Note(design.name, "reports no font");
            return;
        }
        // A negative height asks for the characters' height; rounding may go either way.
        if (font.lfFaceName != Wide(spec.face) || font.lfHeight >= 0 ||
            std::abs(-font.lfHeight - pixels) >= 1.0 || (font.lfWeight >= FW_BOLD) != spec.bold) {
            char points[16];
            std::snprintf(points, sizeof points, "%g", spec.points);
            Note(design.name, "font \"" + ToUtf8(font.lfFaceName) + "\" " +
                                  std::to_string(font.lfHeight) + " px weight " +
                                  std::to_string(font.lfWeight) + "; the layout asks \"" +
                                  ToUtf8(Wide(spec.face)) + "\" " + points + " pt (-" +
                                  Fixed(pixels) + " px)" + (spec.bold ? " bold" : ""));
        }
        CheckFits(design, control, font);
    }

    // Whether the caption fits the control as the control draws it, in its own font.
    void CheckFits(const ControlLayout& design, const Control& control, const LOGFONTW& font) {
        if (control.text.empty()) return;
        const LONG width = control.rect.right - control.rect.left;
        LONG roomX = width;
        LONG roomY = control.rect.bottom - control.rect.top;
        UINT flags = DT_SINGLELINE;
        switch (design.kind) {
            case ControlKind::Label:
                flags = DT_WORDBREAK | DT_EXPANDTABS;
                break;
            case ControlKind::Button:
                // The frame and the focus rectangle take a few pixels on each side.
                roomX -= 8;
                roomY -= 4;
                break;
            case ControlKind::CheckBox:
                roomX -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
                break;
            case ControlKind::TextBox:
                roomX -= 4;  // the border and the edit control's margins
                roomY -= 2;
                break;
            case ControlKind::PictureBox:
                return;
        }
        HDC dc = CreateCompatibleDC(nullptr);
        HFONT made = CreateFontIndirectW(&font);
        HGDIOBJ old = SelectObject(dc, made);
        RECT needed{0, 0, design.kind == ControlKind::Label ? width : 0, 0};
        DrawTextW(dc, control.text.c_str(), static_cast<int>(control.text.size()), &needed,
                  flags | DT_CALCRECT);
        wchar_t face[LF_FACESIZE]{};
        GetTextFaceW(dc, LF_FACESIZE, face);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        DeleteObject(made);
        DeleteDC(dc);
        if (needed.right > roomX || needed.bottom > roomY) {
            Note(design.name, Quoted(control.text) + " needs " + Size(needed.right, needed.bottom) +
                                  " px; it has " + Size(roomX, roomY) + " (drawn in \"" +
                                  ToUtf8(face) + "\" " + std::to_string(metrics.tmHeight) +
                                  " px high)");
        }
    }

    void CheckColour(const std::string& subject, const RECT& area, const std::vector<RECT>& holes,
                     const desktop::Rgb& rgb) {
        if (!screen_) screen_ = CaptureScreen(form_);
        const auto shown = screen_ ? CommonestColour(*screen_, area, holes) : std::nullopt;
        const COLORREF wanted = RGB(rgb.r, rgb.g, rgb.b);
        if (!shown) {
            Note(subject, "the screen could not be read");
        } else if (*shown != wanted) {
            Note(subject,
                 "mostly " + ColourName(*shown) + "; the layout says " + ColourName(wanted));
        }
    }

    HWND form_;
    const FormLayout& layout_;
    int dpi_;
    std::vector<Control> controls_;
    POINT origin_{0, 0};                 // the client area's top-left on the screen
    std::map<std::string, HWND> found_;  // the control each design name was found as
    std::optional<ScreenPixels> screen_;
    std::vector<std::string> lines_;
};

}  // namespace

int ScreenDpi() {
    // As the programs do, so both read the same DPI.
    const desktop::win32::SystemFunctions system;
    if (system.SetProcessDPIAware != nullptr) system.SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::vector<std::string> LayoutDifferences(HWND form, const desktop::FormLayout& layout, int dpi) {
    return FormCheck(form, layout, dpi).Run();
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

}  // namespace e2e
