#pragma once
// A form's design as plain data: sizes and positions in twips (1/1440 inch), so the
// same layout renders correctly at any display DPI.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct FontSpec {
    std::u16string face = u"MS Sans Serif";
    double points = 8.25;
    bool bold = false;
};

enum class ControlKind { Label, Button, TextBox, CheckBox, PictureBox };
enum class TextAlign { Left, Centre, Right };

struct ControlLayout {
    std::string name;  // "cmdSave": events and properties address controls by it
    ControlKind kind = ControlKind::Label;
    std::u16string content;  // caption or text at design; "&" marks the access letter
    TwipRect rect;
    TextAlign align = TextAlign::Left;
    std::optional<FontSpec> font;  // the toolkit's default font when absent
    int maxLength = 0;             // text box: 0 = unlimited
    bool isDefault = false;        // button pressed by Enter
    bool isCancel = false;         // button pressed by Esc
    bool boxRight = false;         // check box drawn to the right of its caption
    std::optional<Rgb> background;
    bool showsAppIcon = false;  // picture box holding the application icon
};

enum class BorderStyle { FixedSingle, FixedDialog };

struct FormLayout {
    std::string name;  // "frmDormello"
    std::u16string caption;
    BorderStyle border = BorderStyle::FixedSingle;
    bool minButton = false;
    bool maxButton = false;
    bool showInTaskbar = true;
    bool appIcon = false;
    int clientWidth = 0;   // twips
    int clientHeight = 0;  // twips
    // Client area's top-left on the screen in twips; absent = centred on the owner,
    // or on the screen when there is none.
    std::optional<TwipRect> clientPosition;
    std::optional<Rgb> background;
    std::vector<ControlLayout> controls;
    std::vector<std::string> tabOrder;  // first one has the focus when the form opens
};

}  // namespace desktop
