// Shows from outside that the preselector's twips layout scales with the display's DPI.
//
//   dpi_check --exe-dir=DIR --screenshot-dir=DIR [--dpi=96,144]
//
// Wine reads the display DPI when a process starts, from the LogPixels value under
// HKCU\Control Panel\Desktop (falling back to HKLM\System\CurrentControlSet\Hardware
// Profiles\Current\Software\Fonts). For each DPI asked for, this program sets the HKCU
// value and starts a copy of itself (--measure=DPI), which therefore runs at that DPI as
// the preselector it starts does. The copy compares the main window and the options
// dialog with their layouts (pixels = twips x DPI / 1440, within 1 px), checks that every
// caption fits its control in the font the layout names, reports which font Wine chose
// for it, and takes pictures: main-<dpi>dpi.bmp and options-<dpi>dpi.bmp. LogPixels is
// put back as it was at the end. One line per check; the exit status is 0 when all held.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace {

constexpr e2e::Millis kPatience{20000};
// A copy measuring at one DPI: starting the preselector twice and opening its dialog.
constexpr DWORD kMeasureTimeoutMs = 120000;
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

struct Twips {
    int left, top, width, height;
};

struct Font {
    const wchar_t* face;
    double points;
    bool bold;
};

constexpr Font kDefaultFont{L"MS Sans Serif", 8.25, false};
constexpr Font kLargeFont{L"MS Sans Serif", 12, false};
constexpr Font kLabelFont{L"MS Sans Serif", 9.75, false};
constexpr Font kBoldFont{L"MS Sans Serif", 8.25, true};

enum class Kind { Label, Picture, Button, CheckBox, TextBox };

// One control of a form as its layout declares it, and how to recognise its window.
struct Row {
    const char* name;
    Kind kind;
    Twips twips;
    Font font;
    std::wstring_view text;  // the caption, or the start of it when `prefix`
    bool prefix = false;
};

// The forms as preselector/frm_dormello.cpp and frm_dormellos.cpp lay them out.
constexpr Twips kMainClient{1785, 3030, 6510, 3060};  // on the screen
const std::vector<Row> kMainRows{
    {"lblCredits",
     Kind::Label,
     {240, 120, 5955, 1155},
     kLargeFont,
     L"Tobrin's Utilities\r\n\r\nQUINTARO"},
    {"Picture1", Kind::Picture, {360, 900, 555, 675}, kDefaultFont, L""},
    {"lblDormello",
     Kind::Label,
     {210, 1560, 6015, 615},
     kLargeFont,
     L"Shutdown Option set to: ",
     true},
    {"cmdMinimise", Kind::Button, {240, 2460, 1395, 435}, kDefaultFont, L"Mi&nimise"},
    {"cmdChangeOptions", Kind::Button, {1780, 2460, 1395, 435}, kDefaultFont, L"&Change Options"},
    {"cmdHide", Kind::Button, {3320, 2460, 1395, 435}, kDefaultFont, L"&Hide"},
    {"cmdExit", Kind::Button, {4860, 2460, 1395, 435}, kDefaultFont, L"E&xit"},
};
constexpr int kOptionsClientWidth = 4530;
constexpr int kOptionsClientHeight = 2520;
const std::vector<Row> kOptionsRows{
    {"lblShutdown", Kind::Label, {180, 360, 2775, 315}, kLabelFont, L"Shutdown Shortcut Key:"},
    {"txtShutDownOption", Kind::TextBox, {3060, 360, 375, 315}, kBoldFont, L"S"},
    {"chkHideIcon", Kind::CheckBox, {2040, 960, 1395, 495}, kLabelFont, L"Hide Icon:"},
    {"cmdSave", Kind::Button, {2460, 1800, 1695, 495}, kDefaultFont, L"&Save"},
    {"cmdCancel", Kind::Button, {360, 1800, 1695, 495}, kDefaultFont, L"&Cancel"},
};

int failures = 0;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Check(bool ok, const std::string& what) {
    if (!ok) ++failures;
    Say(std::string(ok ? "  ok    " : "  FAIL  ") + what);
}

std::string Fixed(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

double Pixels(int twips, int dpi) { return twips * static_cast<double>(dpi) / 1440.0; }

// The rectangle against the layout's twips, each edge within 1 px.
void CheckRect(const std::string& what, const RECT& rect, const Twips& twips, int dpi) {
    const double x = Pixels(twips.left, dpi), y = Pixels(twips.top, dpi);
    const double w = Pixels(twips.width, dpi), h = Pixels(twips.height, dpi);
    const bool ok = std::abs(rect.left - x) <= 1 && std::abs(rect.top - y) <= 1 &&
                    std::abs(rect.right - rect.left - w) <= 1 &&
                    std::abs(rect.bottom - rect.top - h) <= 1;
    Check(ok, what + " at (" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ") " +
                  std::to_string(rect.right - rect.left) + "x" +
                  std::to_string(rect.bottom - rect.top) + "; layout (" + Fixed(x) + "," +
                  Fixed(y) + ") " + Fixed(w) + "x" + Fixed(h));
}

// A device context on the screen with a font made as the forms make it: the point size
// at the DPI, in pixels, by face name.
class FontDc {
  public:
    FontDc(const Font& font, int dpi) : dc_(CreateCompatibleDC(nullptr)) {
        const auto height = static_cast<int>(std::lround(font.points * dpi / 72.0));
        font_ = CreateFontW(-height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.face);
        old_ = SelectObject(dc_, font_);
    }
    ~FontDc() {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    FontDc(const FontDc&) = delete;
    FontDc& operator=(const FontDc&) = delete;

    HDC Dc() const { return dc_; }
    // The size the text takes, wrapped at `width` when it is not 0.
    SIZE Measure(const std::wstring& text, int width, UINT flags) const {
        RECT rect{0, 0, width > 0 ? width : 10000, 0};
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, flags | DT_CALCRECT);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    std::string Describe() const {
        wchar_t face[LF_FACESIZE]{};
        GetTextFaceW(dc_, LF_FACESIZE, face);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc_, &metrics);
        const bool trueType = (metrics.tmPitchAndFamily & TMPF_TRUETYPE) != 0;
        const bool vector = (metrics.tmPitchAndFamily & TMPF_VECTOR) != 0;
        return "\"" + e2e::ToUtf8(face) + "\" " + std::to_string(metrics.tmHeight) + " px high, " +
               (trueType ? "TrueType"
                : vector ? "vector"
                         : "bitmap");
    }

  private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Whether the caption of `row` fits the control's `rect` at `dpi`, as the control draws it.
void CheckTextFits(const Row& row, const std::wstring& text, const RECT& rect, int dpi) {
    if (row.kind == Kind::Picture) return;
    const FontDc font(row.font, dpi);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SIZE needed{};
    int roomX = width, roomY = height;
    switch (row.kind) {
        case Kind::Label:
            needed = font.Measure(text, width, DT_WORDBREAK | DT_EXPANDTABS);
            break;
        case Kind::Button:
            // The frame and the focus rectangle take a few pixels on each side.
            needed = font.Measure(text, 0, DT_SINGLELINE);
            roomX -= 8;
            roomY -= 4;
            break;
        case Kind::CheckBox:
            needed = font.Measure(text, 0, DT_SINGLELINE);
            roomX -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
            break;
        case Kind::TextBox: {
            needed = font.Measure(text, 0, DT_SINGLELINE);
            roomX -= 4;  // the border and the edit control's margins
            roomY -= 2;
            break;
        }
        case Kind::Picture:
            break;
    }
    Check(needed.cx <= roomX && needed.cy <= roomY,
          std::string(row.name) + " text needs " + std::to_string(needed.cx) + "x" +
              std::to_string(needed.cy) + " px of " + std::to_string(roomX) + "x" +
              std::to_string(roomY) + " (font " + font.Describe() + ")");
}

bool Matches(const Row& row, const e2e::Control& control) {
    const bool isStatic = _wcsicmp(control.className.c_str(), L"Static") == 0;
    const LONG style = GetWindowLongW(control.handle, GWL_STYLE);
    switch (row.kind) {
        case Kind::Picture:
            return isStatic && (style & SS_TYPEMASK) == SS_ICON;
        case Kind::Label:
            return isStatic &&
                   (row.prefix ? control.text.starts_with(row.text) : control.text == row.text);
        case Kind::TextBox:
            return _wcsicmp(control.className.c_str(), L"Edit") == 0;
        case Kind::Button:
        case Kind::CheckBox:
            return _wcsicmp(control.className.c_str(), L"Button") == 0 && control.text == row.text;
    }
    return false;
}

// Every control of the form where its layout puts it, and its caption fitting it.
void CheckControls(const std::string& form, HWND window, const std::vector<Row>& rows, int dpi) {
    const auto controls = e2e::Controls(window);
    Check(controls.size() == rows.size(), form + " has " + std::to_string(controls.size()) +
                                              " controls; the layout has " +
                                              std::to_string(rows.size()));
    RECT client{};
    GetClientRect(window, &client);
    for (const Row& row : rows) {
        const e2e::Control* found = nullptr;
        int matches = 0;
        for (const auto& control : controls) {
            if (Matches(row, control)) {
                found = &control;
                ++matches;
            }
        }
        if (matches != 1) {
            Check(false,
                  form + " " + row.name + ": " + std::to_string(matches) + " windows look like it");
            continue;
        }
        CheckRect(form + " " + row.name, found->rect, row.twips, dpi);
        RECT inside{};
        IntersectRect(&inside, &found->rect, &client);
        Check(found->visible && EqualRect(&inside, &found->rect),
              form + " " + row.name + " is visible and inside the client area");
        CheckTextFits(row, found->text, found->rect, dpi);
    }
}

RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

void Picture(const std::wstring& name, HWND window) {
    const std::wstring path = e2e::Screenshot(name, window);
    Say(path.empty() ? "  (no picture of " + e2e::ToUtf8(name) + ")"
                     : "  picture " + e2e::ToUtf8(name) + ".png");
}

// The copy that runs at `dpi`: the preselector's two forms measured and pictured.
int Measure(int dpi) {
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    const int seen = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    Say("at " + std::to_string(dpi) + " dpi:");
    Check(seen == dpi, "a process started now sees " + std::to_string(seen) + " dpi");
    if (seen != dpi) return 1;
    for (const Font* font : {&kDefaultFont, &kLabelFont, &kLargeFont}) {
        const FontDc dc(*font, dpi);
        char points[16];
        std::snprintf(points, sizeof points, "%g", font->points);
        Say("  font \"" + e2e::ToUtf8(font->face) + "\" " + points + " pt is " + dc.Describe());
    }

    const std::wstring folder = e2e::NewScratchFolder(L"dpi" + std::to_wstring(dpi));
    e2e::Process dormello =
        e2e::Process::Start(e2e::ExePath(L"dormello32.exe"), {L"s,false"}, folder);
    HWND main = nullptr;
    const bool shown = e2e::WaitUntil(
        [&] {
            // The title and the labels' texts are set when the form is first activated.
            main = e2e::FindTopLevel(L"Dormello", dormello.Pid(), true);
            if (main == nullptr) return false;
            for (const auto& text : e2e::StaticTexts(main)) {
                if (text.starts_with(L"Shutdown Option set to: ")) return true;
            }
            return false;
        },
        kPatience);
    Check(shown, "the preselector's main window is shown");
    if (!shown) return 1;
    CheckRect("main client area on the screen", ClientOnScreen(main), kMainClient, dpi);
    CheckControls("main", main, kMainRows, dpi);
    Picture(L"main-" + std::to_wstring(dpi) + L"dpi", main);

    const auto change = e2e::FindControl(main, L"&Change Options");
    if (change) e2e::PressButton(change->handle);
    HWND options = nullptr;
    const bool opened = e2e::WaitUntil(
        [&] {
            options = e2e::FindTopLevel(L"Change Shutdown Options", dormello.Pid(), true);
            return options != nullptr && e2e::IsForeground(options);
        },
        kPatience);
    Check(opened, "Change Options opens the options dialog");
    if (!opened) return 1;
    const RECT client = ClientOnScreen(options);
    CheckRect("options client area (size)",
              {0, 0, client.right - client.left, client.bottom - client.top},
              {0, 0, kOptionsClientWidth, kOptionsClientHeight}, dpi);
    CheckControls("options", options, kOptionsRows, dpi);
    Picture(L"options-" + std::to_wstring(dpi) + L"dpi", options);

    const auto cancel = e2e::FindControl(options, L"&Cancel");
    if (cancel) e2e::PressButton(cancel->handle);
    Check(e2e::WaitUntil([&] { return !IsWindow(options); }, kPatience),
          "Cancel closes the options dialog");
    dormello.Terminate();
    return failures == 0 ? 0 : 1;
}

std::optional<DWORD> ReadLogPixels() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool WriteLogPixels(std::optional<DWORD> value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status =
        value ? RegSetValueExW(key, kLogPixels, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&*value), sizeof *value)
              : RegDeleteValueW(key, kLogPixels);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (!value && status == ERROR_FILE_NOT_FOUND);
}

// Starts this program again with `arguments`, sharing its standard handles, and waits
// for it. Returns its exit code; 1 when it could not start or did not finish in time.
int RunCopy(const std::wstring& arguments) {
    wchar_t self[MAX_PATH]{};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = e2e::QuoteArgument(self) + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdOutput, startup.hStdError}) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        Check(false, "starting a copy of dpi_check (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    CloseHandle(info.hThread);
    DWORD code = 1;
    if (WaitForSingleObject(info.hProcess, kMeasureTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &code);
    } else {
        Check(false, "the copy measuring at one DPI finished in time");
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

std::vector<int> DpiList(std::string_view text) {
    std::vector<int> list;
    while (!text.empty()) {
        const auto comma = text.find(',');
        list.push_back(std::atoi(std::string(text.substr(0, comma)).c_str()));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    std::vector<int> dpis{96, 144};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--measure=")) return Measure(std::atoi(argv[i] + 10));
        if (arg.starts_with("--dpi=")) dpis = DpiList(arg.substr(6));
    }
    const std::wstring passOn = e2e::QuoteArgument(L"--exe-dir=" + e2e::Env().exeDir) + L" " +
                                e2e::QuoteArgument(L"--screenshot-dir=" + e2e::Env().screenshotDir);
    const std::optional<DWORD> before = ReadLogPixels();
    std::vector<std::string> results;
    for (int dpi : dpis) {
        const bool set = WriteLogPixels(static_cast<DWORD>(dpi));
        const int status = set ? RunCopy(passOn + L" --measure=" + std::to_wstring(dpi)) : 1;
        if (status != 0) ++failures;
        results.push_back(std::to_string(dpi) + " dpi " + (status == 0 ? "ok" : "FAILED"));
    }
    WriteLogPixels(before);
    std::string summary = "dpi-check:";
    for (const auto& result : results) summary += " " + result + ";";
    Say(summary);
    return failures == 0 ? 0 : 1;
}
