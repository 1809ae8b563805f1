// The preselector's main window as another program sees it under Wine: its texts, the
// question Exit and the close box ask, and Minimise and Hide, after which the watcher
// still answers. Its layout is dpi_check's, at 96 and 144 DPI; ends from outside are
// faults_test's; the status from a settings file is dormello_options_test's.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/form_check.h"
#include "e2e/driver/process.h"
#include "e2e/driver/screenshot.h"
#include "e2e/driver/shutdown_standin.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"
#include "e2e/tests/case_name.h"
#include "preselector/frm_dormello.h"

namespace e2e {
namespace {

constexpr wchar_t kCredits[] = L"Tobrin's Utilities\r\n\r\nQUINTARO";
constexpr wchar_t kExitPrompt[] =
    L"This will close Dormello and revert to the Windows default\r\n\r\n"
    L"Are you sure you want to Exit?";

class DormelloMainWindowTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(DormelloMissing(), ""); }

    // Starts dormello32 in `folder` with `commandLine` (none when empty) until it waits for
    // input with its main window shown. Throws when it does not.
    static Process StartDormello(const std::wstring& commandLine, const std::wstring& folder,
                                 HWND& main) {
        Process dormello = StartDormelloUntilIdle(commandLine, folder);
        main = WaitForMainWindow(dormello);
        if (main == nullptr) {
            throw std::runtime_error("the main window \"Dormello\" did not appear; " +
                                     Describe(dormello));
        }
        return dormello;
    }

    std::wstring folder_ = NewScratchFolder(L"main-window");
};

// ---- Data shown as it is -------------------------------------------------------------

// Reading a label's text back cannot tell whether it shows an '&' or took it for an access
// letter, so the label's pixels are held against the text drawn here both ways, in the
// label's own font.
struct Ink {
    int withoutPrefix = 0;  // pixels that differ from the text drawn as it is
    int withPrefix = 0;     // ... from the text drawn with '&' marking an access letter
};

Ink CompareLabel(HWND label, const std::wstring& text, const desktop::FontSpec& spec, int dpi) {
    RECT area{};
    GetWindowRect(label, &area);
    const auto shown = CaptureScreen(label);
    if (!shown) return {-1, -1};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const std::wstring face(spec.face.begin(), spec.face.end());
    HFONT font = CreateFontW(-static_cast<int>(spec.points * dpi / 72.0 + 0.5), 0, 0, 0,
                             spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    HGDIOBJ oldFont = SelectObject(dc, font);
    const COLORREF background = shown->At(area.left, area.top);
    auto differing = [&](UINT prefix) {
        RECT box{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(dc, &box, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        // As a centred static control draws its text.
        DrawTextW(dc, text.c_str(), -1, &box, DT_CENTER | DT_EXPANDTABS | DT_WORDBREAK | prefix);
        int count = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                count += GetPixel(dc, x, y) != shown->At(area.left + x, area.top + y) ? 1 : 0;
            }
        }
        return count;
    };
    const Ink ink{differing(DT_NOPREFIX), differing(0)};
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

TEST_F(DormelloMainWindowTest, AnAmpersandInTheKeyOrTheCommandLineIsShownAsItIs) {
    HWND main = nullptr;
    Process dormello = StartDormello(L"&b,false", folder_, main);
    const std::wstring status = std::wstring(kStatusPrefix) + L"&\r\nfrom Command Line '&b,false'";
    const auto texts = StaticTexts(main);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::wstring(kCredits)), 1) << Joined(texts);
    // Through the A functions the window's class is an ANSI one; the texts above read
    // the same either way.
    EXPECT_EQ(IsWindowUnicode(main) == FALSE, ProgramsUseAnsiForms());
    const auto label = FindControl(main, status);
    ASSERT_TRUE(label.has_value()) << Joined(texts);
    Screenshot(L"dormello_main_window_ampersand", main);
    const auto& layout = preselector::frmDormelloLayout();
    const auto design = std::find_if(layout.controls.begin(), layout.controls.end(),
                                     [](const auto& c) { return c.name == "lblDormello"; });
    ASSERT_NE(design, layout.controls.end());
    const Ink ink = CompareLabel(label->handle, status, design->font.value_or(desktop::FontSpec{}),
                                 ScreenDpi());
    RecordProperty("pixels_off_as_it_is", ink.withoutPrefix);
    RecordProperty("pixels_off_with_prefix", ink.withPrefix);
    ASSERT_GE(ink.withoutPrefix, 0) << "the screen could not be read";
    EXPECT_LT(ink.withoutPrefix * 10, ink.withPrefix)
        << "the label looks no more like its text as it is (" << ink.withoutPrefix
        << " pixels off) than like an access letter (" << ink.withPrefix << ")";
}

// ---- Closing ------------------------------------------------------------------------

struct AskingClose {
    const char* name;
    void (*ask)(HWND main);
};

void PressExit(HWND main) {
    const auto exit = FindControl(main, kExit);
    if (exit) {
        PressButton(exit->handle);
    }
}

// Posted as the close box posts it: sending would wait for the question to be answered.
void ChooseCloseFromTheCloseBox(HWND main) { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }

class DormelloAsksBeforeClosing : public DormelloMainWindowTest,
                                  public testing::WithParamInterface<AskingClose> {
  protected:
    // Asks to close and waits for the question; nullptr when none came.
    static HWND Ask(const Process& dormello, HWND main, void (*ask)(HWND)) {
        ask(main);
        return WaitForWindowOf(dormello, MessageBoxOf);
    }
};

TEST_P(DormelloAsksBeforeClosing, NoKeepsItRunningAndYesEndsIt) {
    HWND main = nullptr;
    Process dormello = StartDormello(L"R", folder_, main);

    HWND box = Ask(dormello, main, GetParam().ask);
    ASSERT_NE(box, nullptr) << "no question appeared; " << Describe(dormello);
    const auto texts = StaticTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::wstring(kExitPrompt)), texts.end())
        << Joined(texts);
    ASSERT_NE(GetDlgItem(box, IDYES), nullptr);
    ASSERT_NE(GetDlgItem(box, IDNO), nullptr);
    PressButton(GetDlgItem(box, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !dormello.Running(); }));
    EXPECT_TRUE(dormello.Running()) << Describe(dormello);
    EXPECT_TRUE(IsWindowVisible(main));

    box = Ask(dormello, main, GetParam().ask);
    ASSERT_NE(box, nullptr) << "no question appeared the second time; " << Describe(dormello);
    PressButton(GetDlgItem(box, IDYES));
    EXPECT_TRUE(dormello.WaitForExit(kDefaultTimeout)) << Describe(dormello);
    EXPECT_EQ(dormello.ExitCode(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Ways, DormelloAsksBeforeClosing,
                         testing::Values(AskingClose{"ExitButton", PressExit},
                                         AskingClose{"CloseBox", ChooseCloseFromTheCloseBox}),
                         CaseName);

// ---- Out of the way, still watching -------------------------------------------------

struct OutOfTheWay {
    const char* name;
    const wchar_t* button;
    bool (*done)(HWND main);
};

bool Minimised(HWND main) { return IsIconic(main) != FALSE; }
bool Hidden(HWND main) { return IsWindow(main) && !IsWindowVisible(main); }

class DormelloOutOfTheWay : public DormelloMainWindowTest,
                            public testing::WithParamInterface<OutOfTheWay> {};

TEST_P(DormelloOutOfTheWay, DoesWhatTheButtonSaysAndStillAnswersTheDialog) {
    const OutOfTheWay& param = GetParam();
    HWND main = nullptr;
    Process dormello = StartDormello(L"R", folder_, main);
    const auto button = FindControl(main, param.button);
    ASSERT_TRUE(button.has_value());

    PressButton(button->handle);
    ASSERT_TRUE(WaitUntil([&] { return param.done(main); })) << Describe(dormello);

    auto standIn = ShutdownStandIn::Start(folder_);
    ASSERT_EQ(standIn.Command(L"open"), 1);
    EXPECT_TRUE(standIn.WaitForSelection(kRestart)) << standIn.Log().Text();
    EXPECT_TRUE(param.done(main));
    EXPECT_EQ(MessageBoxOf(dormello), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Buttons, DormelloOutOfTheWay,
                         testing::Values(OutOfTheWay{"Minimise", kMinimise, Minimised},
                                         OutOfTheWay{"Hide", kHide, Hidden}),
                         CaseName);

}  // namespace
}  // namespace e2e
