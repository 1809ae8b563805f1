#include "e2e/standin/key_logger.h"

#include <string>
#include <utility>

namespace standin {

namespace {

// A hook procedure has no context of its own; each thread installs its own hook.
thread_local const LineLog* t_log = nullptr;

const char* MessageName(UINT message) {
    static constexpr std::pair<UINT, const char*> kNames[] = {{WM_KEYDOWN, "WM_KEYDOWN"},
                                                              {WM_KEYUP, "WM_KEYUP"},
                                                              {WM_CHAR, "WM_CHAR"},
                                                              {WM_DEADCHAR, "WM_DEADCHAR"},
                                                              {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
                                                              {WM_SYSKEYUP, "WM_SYSKEYUP"},
                                                              {WM_SYSCHAR, "WM_SYSCHAR"},
                                                              {WM_SYSDEADCHAR, "WM_SYSDEADCHAR"}};
    for (const auto& [id, name] : kNames) {
        if (id == message) {
            return name;
        }
    }
    return nullptr;
}

std::string KeyName(WPARAM key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
        return std::string(1, static_cast<char>(key));
    }
    static constexpr std::pair<WPARAM, const char*> kNames[] = {
        {VK_MENU, "MENU"},     {VK_SHIFT, "SHIFT"},   {VK_CONTROL, "CONTROL"}, {VK_TAB, "TAB"},
        {VK_RETURN, "RETURN"}, {VK_ESCAPE, "ESCAPE"}, {VK_SPACE, "SPACE"},     {VK_LEFT, "LEFT"},
        {VK_RIGHT, "RIGHT"},   {VK_UP, "UP"},         {VK_DOWN, "DOWN"},       {VK_F10, "F10"}};
    for (const auto& [id, name] : kNames) {
        if (id == key) {
            return name;
        }
    }
    return "?";
}

void LogKey(const MSG& message, const char* name) {
    LineLog::Line line = (*t_log)("key");
    line.Word("msg", name);
    if (message.message == WM_CHAR || message.message == WM_SYSCHAR) {
        line.Text("char", std::wstring(1, static_cast<wchar_t>(message.wParam)));
    } else if (message.message != WM_DEADCHAR && message.message != WM_SYSDEADCHAR) {
        line.Word("key", KeyName(message.wParam));
    }
    line.Hex("wparam", message.wParam)
        .Hex("lparam", static_cast<std::uint32_t>(message.lParam))
        .Hex("hwnd", message.hwnd)
        .Text("class", ClassName(message.hwnd))
        .Number("id", GetDlgCtrlID(message.hwnd))
        .Text("top", WindowText(GetAncestor(message.hwnd, GA_ROOT)));
}

LRESULT CALLBACK OnGetMessage(int code, WPARAM removal, LPARAM lParam) {
    // Only removals: a loop that peeks without removing sees the message again later.
    if (code == HC_ACTION && (removal & PM_REMOVE) != 0 && t_log != nullptr) {
        const auto& message = *reinterpret_cast<const MSG*>(lParam);
        if (const char* name = MessageName(message.message)) {
            LogKey(message, name);
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

}  // namespace

KeyLogger::KeyLogger(const LineLog& log)
    : hook_(SetWindowsHookExW(WH_GETMESSAGE, OnGetMessage, nullptr, GetCurrentThreadId())) {
    t_log = &log;
}

KeyLogger::~KeyLogger() {
    UnhookWindowsHookEx(hook_);
    t_log = nullptr;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        const bool dialog = root != nullptr && GetClassLongPtrW(root, GCW_ATOM) ==
                                                   reinterpret_cast<ULONG_PTR>(WC_DIALOG);
        if (!dialog || !IsDialogMessageW(root, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace standin
