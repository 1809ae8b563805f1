// The PlatformShell contract on the real Win32 desktop, in this process under Wine; the
// same suite runs on the simulated one in the host tests (tests/shell_contract_test.cpp).
// "Another program's" windows are made by this process: no case depends on whose they
// are, and the user's input is real input (SendInput) that the system routes to them.
#include "tests/shell_contract.h"

#include <windows.h>
#include <windowsx.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "desktop/win32/win32_shell.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/keys.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"

namespace shell_contract {
namespace {

constexpr wchar_t kWindowClass[] = L"QuintaroContractWindow";

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }
HWND ToHwnd(WindowHandle window) { return static_cast<HWND>(LongToHandle(window)); }

// What one of the driver's windows has been given.
struct Received {
    int keyDowns = 0;
    int buttonUps = 0;
    POINT lastMove{-1, -1};
};

LRESULT CALLBACK ReceivingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (auto* seen = reinterpret_cast<Received*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
        if (message == WM_KEYDOWN) ++seen->keyDowns;
        if (message == WM_LBUTTONUP) ++seen->buttonUps;
        if (message == WM_MOUSEMOVE) seen->lastMove = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// What the user does to the next window of this thread that comes up with a title:
// done the moment the system activates it (a CBT hook has no context of its own).
struct UserAnswer {
    std::wstring title;
    UINT message;
    WPARAM wparam;
};
std::optional<UserAnswer> nextAnswer;
// Past this bound the window has not come up: the test fails, and the window in front is
// answered all the same, so a modal loop waiting for it does not hold the run for ever.
constexpr UINT kAnswerBoundMs = 10000;
UINT_PTR answerBound = 0;

// Posted: it arrives once the window's own loop runs, as a click would.
void Answer(HWND window) {
    KillTimer(nullptr, std::exchange(answerBound, 0));
    PostMessageW(window, nextAnswer->message, nextAnswer->wparam, 0);
    nextAnswer.reset();
}

void CALLBACK OnAnswerBound(HWND, UINT, UINT_PTR, DWORD) {
    if (!nextAnswer) return;
    ADD_FAILURE() << "no window titled \"" << e2e::ToUtf8(nextAnswer->title) << "\" came up";
    Answer(GetActiveWindow());
}

void ArrangeAnswer(UserAnswer answer) {
    nextAnswer = std::move(answer);
    answerBound = SetTimer(nullptr, 0, kAnswerBoundMs, OnAnswerBound);
}

LRESULT CALLBACK OnActivation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && nextAnswer) {
        HWND window = reinterpret_cast<HWND>(wparam);
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        if (nextAnswer->title == title) Answer(window);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

class Win32Driver {
  public:
    Win32Driver()
        : folder_(e2e::NewScratchFolder(L"contract")),
          hook_(SetWindowsHookExW(WH_CBT, OnActivation, nullptr, GetCurrentThreadId())),
          shell_(system_) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ReceivingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);  // fails harmlessly for every driver after the first
    }
    ~Win32Driver() {
        nextAnswer.reset();
        KillTimer(nullptr, std::exchange(answerBound, 0));
        for (auto& [window, seen] : received_) DestroyWindow(window);
        UnhookWindowsHookEx(hook_);
    }
    Win32Driver(const Win32Driver&) = delete;
    Win32Driver& operator=(const Win32Driver&) = delete;

    desktop::PlatformShell& Shell() { return shell_; }

    WindowHandle Open(const std::u16string& title, Look look) {
        HWND window =
            CreateWindowExW(0, kWindowClass, Wide(title), WS_OVERLAPPEDWINDOW, 100, 100, 320, 200,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window, nullptr) << GetLastError();
        auto& seen = received_[window] = std::make_unique<Received>();
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(seen.get()));
        if (look != Look::Bare) {
            CreateWindowExW(0, L"STATIC", L"x", WS_CHILD | WS_VISIBLE, 4, 4, 16, 16, window,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        }
        if (look == Look::Minimised) ShowWindow(window, SW_SHOWMINNOACTIVE);
        if (look == Look::Shown || look == Look::Bare) {
            ShowWindow(window, SW_SHOW);
            ToFront(HandleToLong(window));
        }
        return HandleToLong(window);
    }
    void ToFront(WindowHandle window) {
        SetForegroundWindow(ToHwnd(window));
        EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == ToHwnd(window); }));
    }
    // A window of this process: the shell is told of no rename, as under Wine, which
    // reports none from any program.
    void Rename(WindowHandle window, const std::u16string& title) {
        SetWindowTextW(ToHwnd(window), Wide(title));
    }
    void Close(WindowHandle window) {
        DestroyWindow(ToHwnd(window));
        received_.erase(ToHwnd(window));
    }

    std::u16string ProfileFolder() const { return {folder_.begin(), folder_.end()}; }
    void WriteFile(std::u16string_view path, std::string_view bytes) {
        EXPECT_TRUE(e2e::WriteBytes(Wide(path), std::string(bytes)));
    }
    std::string ReadFile(std::u16string_view path) {
        return e2e::ReadBytes(Wide(path)).value_or("<unreadable>");
    }

    void PressKey(WindowHandle front) {
        const Received& seen = *received_.at(ToHwnd(front));
        const int before = seen.keyDowns;
        INPUT keys[2] = {};
        for (INPUT& key : keys) {
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = 'Q';
        }
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        EXPECT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
        // The low-level hooks have seen the key before its window does.
        EXPECT_TRUE(e2e::WaitUntil([&] { return seen.keyDowns > before; })) << "key lost";
    }
    void ClickMouse(WindowHandle front) {
        const Received& seen = *received_.at(ToHwnd(front));
        const int before = seen.buttonUps;
        const POINT at = OnScreen(front, {0, 0});
        INPUT click[2] = {e2e::MouseAt(at, MOUSEEVENTF_LEFTDOWN),
                          e2e::MouseAt(at, MOUSEEVENTF_LEFTUP)};
        EXPECT_EQ(SendInput(2, click, sizeof(INPUT)), 2u);
        EXPECT_TRUE(e2e::WaitUntil([&] { return seen.buttonUps > before; })) << "click lost";
    }
    void MoveMouse(WindowHandle front) {
        const Received& seen = *received_.at(ToHwnd(front));
        const POINT offset{9, 7};
        INPUT move = e2e::MouseAt(OnScreen(front, offset), 0);
        EXPECT_EQ(SendInput(1, &move, sizeof(INPUT)), 1u);
        // The move itself, not one Wine makes of its own when a window shows under the
        // pointer.
        const POINT target = InClient(front, offset);
        EXPECT_TRUE(e2e::WaitUntil([&] {
            return std::abs(seen.lastMove.x - target.x) <= 1 &&
                   std::abs(seen.lastMove.y - target.y) <= 1;
        })) << "move lost";
    }

    void AnswerWhenUp(std::u16string_view boxTitle, int answer) {
        ArrangeAnswer({Wide(boxTitle), WM_COMMAND, static_cast<WPARAM>(answer)});
    }
    void CloseWhenUp(desktop::Form& form) {
        ArrangeAnswer({Wide(form.Layout().caption), WM_SYSCOMMAND, SC_CLOSE});
    }
    WindowHandle FormHandle(desktop::Form& form) {
        return HandleToLong(static_cast<desktop::win32::Win32FormWindow&>(form.Window()).Handle());
    }
    bool Eventually(const std::function<bool()>& condition) { return e2e::WaitUntil(condition); }

  private:
    // The middle of the window's client area, moved by `offset`.
    static POINT InClient(WindowHandle window, POINT offset) {
        RECT client{};
        GetClientRect(ToHwnd(window), &client);
        return {client.right / 2 + offset.x, client.bottom / 2 + offset.y};
    }
    static POINT OnScreen(WindowHandle window, POINT offset) {
        POINT point = InClient(window, offset);
        ClientToScreen(ToHwnd(window), &point);
        return point;
    }

    std::wstring folder_;
    HHOOK hook_;
    desktop::win32::SystemFunctions system_;
    desktop::win32::Win32Shell shell_;
    std::map<HWND, std::unique_ptr<Received>> received_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ShellContract, Win32Driver);

}  // namespace shell_contract
