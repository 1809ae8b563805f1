// Stand-in for the system's shutdown dialog, driven by the end-to-end tests.
//
//   standin_shutdown.exe [/german] [/bystander] [/log:PATH]
//
// The dialog is modeless and runs in this program's own message loop, which logs every
// key message before IsDialogMessage sees it; access letters are handled by the real
// dialog manager. /bystander also shows a plain focusable window with an edit control,
// the window that must get no keys in "nothing else is typed into" tests. The commands
// and the log format are described in standin_shutdown.h.
#include "standin_shutdown.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr UINT_PTR kTimerOpen = 1;
constexpr UINT_PTR kTimerShow = 2;
constexpr UINT_PTR kTimerSteal = 3;
constexpr UINT_PTR kTimerRetitle = 4;
constexpr std::array<int, 3> kOptionIds{IDC_OPTION_SHUTDOWN, IDC_OPTION_RESTART, IDC_OPTION_MSDOS};
constexpr wchar_t kControlClass[] = L"StandinShutdownControl";
constexpr wchar_t kPlainClass[] = L"StandinShutdownPlain";

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring Hex(UINT_PTR value) {
    std::array<wchar_t, 24> buffer{};
    swprintf(buffer.data(), buffer.size(), L"0x%08lX", static_cast<unsigned long>(value));
    return buffer.data();
}

std::wstring WindowText(HWND window) {
    std::array<wchar_t, 256> buffer{};
    GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 128> buffer{};
    GetClassNameW(window, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

// Skips a DLGTEMPLATEEX field that is either a string, 0 or 0xFFFF and a resource id.
const WORD* SkipNameOrId(const WORD* field) {
    if (*field == 0) {
        return field + 1;
    }
    if (*field == 0xFFFF) {
        return field + 2;
    }
    while (*field != 0) {
        ++field;
    }
    return field + 1;
}

// A copy of a dialog template whose caption is replaced by another of the same length, so
// nothing after it moves. Empty when the template cannot be read.
std::vector<BYTE> TemplateUnderAnotherTitle(HINSTANCE instance, int templateId) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const auto* bytes =
        static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return {};
    }
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(instance, found));
    // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy; then the menu,
    // the class and the caption.
    constexpr size_t kHeaderBytes = 26;
    auto* caption = const_cast<WORD*>(
        SkipNameOrId(SkipNameOrId(reinterpret_cast<const WORD*>(copy.data() + kHeaderBytes))));
    size_t length = 0;
    while (caption[length] != 0) {
        ++length;
    }
    std::wstring other(length, L'.');
    other.replace(0, std::min<size_t>(length, 8), std::wstring(L"Untitled").substr(0, length));
    std::copy(other.begin(), other.end(), caption);
    return copy;
}

// Appends lines to the log file; every line is written through at once, so a reader in
// another process sees it as soon as WriteFile returns.
class Log {
  public:
    explicit Log(const std::wstring& path) {
        if (!path.empty()) {
            file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
    }
    ~Log() {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
        }
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void Line(std::wstring_view event, std::wstring_view details) const {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        std::wstring line = std::to_wstring(now.QuadPart) + L" " + std::wstring(event);
        if (!details.empty()) {
            line += L" " + std::wstring(details);
        }
        line += L"\n";
        if (file_ != INVALID_HANDLE_VALUE) {
            const std::string bytes = ToUtf8(line);
            DWORD written = 0;
            WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            FlushFileBuffers(file_);
        }
    }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

const wchar_t* KeyMessageName(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
            return L"WM_KEYDOWN";
        case WM_KEYUP:
            return L"WM_KEYUP";
        case WM_CHAR:
            return L"WM_CHAR";
        case WM_DEADCHAR:
            return L"WM_DEADCHAR";
        case WM_SYSKEYDOWN:
            return L"WM_SYSKEYDOWN";
        case WM_SYSKEYUP:
            return L"WM_SYSKEYUP";
        case WM_SYSCHAR:
            return L"WM_SYSCHAR";
        case WM_SYSDEADCHAR:
            return L"WM_SYSDEADCHAR";
        default:
            return nullptr;
    }
}

// How the dialog is to be opened; parsed from "open ..." commands.
struct OpenRequest {
    bool activate = true;
    UINT delayMs = 0;
    UINT hiddenMs = 0;
    UINT titledMs = 0;
    std::optional<UINT> thiefMs;
};

struct Command {
    std::wstring verb;
    std::vector<std::wstring> words;

    bool Has(std::wstring_view word) const {
        for (const auto& w : words) {
            if (w == word) {
                return true;
            }
        }
        return false;
    }
    std::optional<UINT> Number(std::wstring_view name) const {
        const std::wstring prefix = std::wstring(name) + L"=";
        for (const auto& w : words) {
            if (w.starts_with(prefix)) {
                return static_cast<UINT>(wcstoul(w.c_str() + prefix.size(), nullptr, 10));
            }
        }
        return std::nullopt;
    }
};

Command ParseCommand(std::wstring_view text) {
    Command command;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find(L' ', pos), text.size());
        if (end > pos) {
            std::wstring word(text.substr(pos, end - pos));
            if (command.verb.empty()) {
                command.verb = std::move(word);
            } else {
                command.words.push_back(std::move(word));
            }
        }
        pos = end + 1;
    }
    return command;
}

class StandIn {
  public:
    StandIn(HINSTANCE instance, bool german, const std::wstring& logPath)
        : instance_(instance), german_(german), log_(logPath) {}

    bool Create(bool bystander) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        log_.Line(L"start", L"pid=" + std::to_wstring(GetCurrentProcessId()) + L" qpf=" +
                                std::to_wstring(frequency.QuadPart) + L" lang=" +
                                (german_ ? L"de" : L"en") + L" bystander=" +
                                (bystander ? L"1" : L"0"));
        control_ = CreateWindowExW(0, kControlClass, standin::kControlTitle, WS_OVERLAPPED, 0, 0, 0,
                                   0, nullptr, nullptr, instance_, this);
        if (control_ == nullptr) {
            return false;
        }
        return !bystander || CreateBystander();
    }

    int Run() {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (const wchar_t* name = KeyMessageName(message.message)) {
                LogKey(name, message);
            }
            if (dialog_ == nullptr || !IsDialogMessageW(dialog_, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            LogSelectionIfChanged();
        }
        return static_cast<int>(message.wParam);
    }

    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<StandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        switch (message) {
            case WM_COPYDATA:
                return self->OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            case WM_TIMER:
                self->OnTimer(window, wParam);
                return 0;
            case WM_QUERYENDSESSION:
                self->log_.Line(L"queryendsession", L"");
                return TRUE;
            case WM_ENDSESSION:
                self->log_.Line(L"endsession", wParam != FALSE ? L"ending=1" : L"ending=0");
                return 0;
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
            default:
                return DefWindowProcW(window, message, wParam, lParam);
        }
    }

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            CheckRadioButton(dialog, IDC_OPTION_SHUTDOWN, IDC_OPTION_MSDOS, IDC_OPTION_SHUTDOWN);
            // FALSE: no focus is set while the dialog is hidden; the dialog manager gives
            // the first option the focus when the dialog is activated.
            return FALSE;
        }
        auto* self = reinterpret_cast<StandIn*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (self == nullptr) {
            return FALSE;
        }
        switch (message) {
            case WM_ACTIVATE:
                self->log_.Line(L"activate", L"state=" + std::to_wstring(LOWORD(wParam)) +
                                                 L" hwnd=" +
                                                 Hex(reinterpret_cast<UINT_PTR>(dialog)));
                return FALSE;
            case WM_COMMAND:
                self->OnDialogCommand(LOWORD(wParam));
                return TRUE;
            default:
                return FALSE;
        }
    }

    LRESULT OnCopyData(const COPYDATASTRUCT& data) {
        if (data.dwData != standin::kCommandTag) {
            return standin::kUnknownCommand;
        }
        const std::wstring_view text(static_cast<const wchar_t*>(data.lpData),
                                     data.cbData / sizeof(wchar_t));
        log_.Line(L"command", Quoted(text));
        const Command command = ParseCommand(text);
        if (command.verb == L"open") {
            OpenRequest request;
            request.activate = !command.Has(L"noactivate");
            request.delayMs = command.Number(L"delay").value_or(0);
            request.hiddenMs = command.Number(L"hidden").value_or(0);
            request.titledMs = command.Number(L"titled").value_or(0);
            request.thiefMs = command.Number(L"thief");
            return Open(request) ? 1 : 0;
        }
        if (command.verb == L"close") {
            return CloseDialog(L"command") ? 1 : 0;
        }
        if (command.verb == L"selection") {
            return Selection();
        }
        if (command.verb == L"steal") {
            const UINT delay = command.Number(L"delay").value_or(0);
            if (delay == 0) {
                StealFocus();
            } else {
                SetTimer(control_, kTimerSteal, delay, nullptr);
            }
            return 1;
        }
        return standin::kUnknownCommand;
    }

    void OnTimer(HWND window, UINT_PTR id) {
        KillTimer(window, id);
        if (id == kTimerOpen) {
            CreateDialogNow();
        } else if (id == kTimerShow) {
            ShowDialog();
        } else if (id == kTimerSteal) {
            StealFocus();
        } else if (id == kTimerRetitle) {
            Retitle();
        }
    }

    void OnDialogCommand(WORD id) {
        switch (id) {
            case IDYES:
                CloseDialog(L"yes");
                break;
            case IDNO:
                CloseDialog(L"no");
                break;
            case IDCANCEL:
                CloseDialog(L"cancel");
                break;
            case IDHELP:
                log_.Line(L"help", L"");
                break;
            default:
                break;
        }
    }

    bool Open(const OpenRequest& request) {
        if (dialog_ != nullptr || pending_) {
            return false;
        }
        pending_ = request;
        if (request.delayMs > 0) {
            SetTimer(control_, kTimerOpen, request.delayMs, nullptr);
        } else {
            CreateDialogNow();
        }
        return true;
    }

    void CreateDialogNow() {
        if (!pending_) {
            return;
        }
        const int templateId = german_ ? IDD_SHUTDOWN_GERMAN : IDD_SHUTDOWN_ENGLISH;
        if (pending_->titledMs > 0) {
            const std::vector<BYTE> untitled = TemplateUnderAnotherTitle(instance_, templateId);
            dialog_ = untitled.empty()
                          ? nullptr
                          : CreateDialogIndirectParamW(
                                instance_, reinterpret_cast<LPCDLGTEMPLATEW>(untitled.data()),
                                nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
            SetTimer(control_, kTimerRetitle, pending_->titledMs, nullptr);
        } else {
            dialog_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId), nullptr,
                                         DialogProc, reinterpret_cast<LPARAM>(this));
        }
        if (dialog_ == nullptr) {
            log_.Line(L"error", L"what=createdialog code=" + std::to_wstring(GetLastError()));
            pending_.reset();
            return;
        }
        loggedSelection_ = Selection();
        log_.Line(L"create", L"hwnd=" + Hex(reinterpret_cast<UINT_PTR>(dialog_)) + L" title=" +
                                 Quoted(WindowText(dialog_)) + L" selection=" +
                                 std::to_wstring(loggedSelection_));
        if (pending_->hiddenMs > 0) {
            SetTimer(control_, kTimerShow, pending_->hiddenMs, nullptr);
        } else {
            ShowDialog();
        }
    }

    void ShowDialog() {
        if (dialog_ == nullptr || !pending_) {
            return;
        }
        const OpenRequest request = *pending_;
        pending_.reset();
        // Logged before and after: a reader that finds no "show" line knows the dialog
        // had not been shown when it looked.
        const std::wstring hwnd = L"hwnd=" + Hex(reinterpret_cast<UINT_PTR>(dialog_));
        log_.Line(L"show", hwnd + L" activate=" + (request.activate ? L"1" : L"0"));
        if (request.activate) {
            ShowWindow(dialog_, SW_SHOW);
            SetForegroundWindow(dialog_);
        } else {
            ShowWindow(dialog_, SW_SHOWNOACTIVATE);
        }
        log_.Line(L"shown", hwnd + L" foreground=" + Hex(ForegroundWindow()));
        if (request.thiefMs) {
            if (*request.thiefMs == 0) {
                StealFocus();
            } else {
                SetTimer(control_, kTimerSteal, *request.thiefMs, nullptr);
            }
        }
    }

    void Retitle() {
        if (dialog_ == nullptr) {
            return;
        }
        SetWindowTextW(dialog_, german_ ? standin::kGermanTitle : standin::kEnglishTitle);
        log_.Line(L"retitle", L"hwnd=" + Hex(reinterpret_cast<UINT_PTR>(dialog_)) + L" title=" +
                                  Quoted(WindowText(dialog_)));
    }

    bool CloseDialog(std::wstring_view how) {
        KillTimer(control_, kTimerOpen);
        KillTimer(control_, kTimerShow);
        KillTimer(control_, kTimerRetitle);
        pending_.reset();
        if (dialog_ == nullptr) {
            return false;
        }
        log_.Line(L"close",
                  L"by=" + std::wstring(how) + L" selection=" + std::to_wstring(Selection()));
        DestroyWindow(dialog_);
        dialog_ = nullptr;
        loggedSelection_ = standin::kNoSelection;
        return true;
    }

    LRESULT Selection() const {
        if (dialog_ == nullptr) {
            return standin::kNoSelection;
        }
        for (size_t i = 0; i < kOptionIds.size(); ++i) {
            if (IsDlgButtonChecked(dialog_, kOptionIds[i]) == BST_CHECKED) {
                return static_cast<LRESULT>(i);
            }
        }
        return standin::kNoSelection;
    }

    void LogSelectionIfChanged() {
        const LRESULT selection = Selection();
        if (dialog_ == nullptr || selection == loggedSelection_) {
            return;
        }
        loggedSelection_ = selection;
        std::wstring caption;
        if (selection >= 0) {
            caption = WindowText(GetDlgItem(dialog_, kOptionIds[static_cast<size_t>(selection)]));
        }
        log_.Line(L"selection",
                  L"index=" + std::to_wstring(selection) + L" text=" + Quoted(caption));
    }

    void LogKey(const wchar_t* name, const MSG& message) const {
        HWND target = message.hwnd;
        HWND top = GetAncestor(target, GA_ROOT);
        std::wstring details =
            L"msg=" + std::wstring(name) + L" hwnd=" + Hex(reinterpret_cast<UINT_PTR>(target)) +
            L" class=" + ClassOf(target) + L" id=" + std::to_wstring(GetDlgCtrlID(target)) +
            L" top=" + Quoted(WindowText(top)) + L" wparam=" + Hex(message.wParam) + L" lparam=" +
            Hex(static_cast<UINT_PTR>(message.lParam));
        if (message.message == WM_CHAR || message.message == WM_SYSCHAR) {
            const auto ch = static_cast<wchar_t>(message.wParam);
            details += L" char=" + Quoted(std::wstring(1, ch));
        }
        log_.Line(L"key", details);
    }

    void StealFocus() {
        if (thief_ == nullptr) {
            thief_ = CreateWindowExW(0, kPlainClass, standin::kThiefTitle,
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 240, 120, nullptr,
                                     nullptr, instance_, nullptr);
        }
        ShowWindow(thief_, SW_SHOW);
        SetForegroundWindow(thief_);
        SetFocus(thief_);
        log_.Line(L"steal", L"hwnd=" + Hex(reinterpret_cast<UINT_PTR>(thief_)) + L" foreground=" +
                                Hex(ForegroundWindow()));
    }

    bool CreateBystander() {
        HWND window = CreateWindowExW(0, kPlainClass, standin::kBystanderTitle,
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 320, 160, nullptr,
                                      nullptr, instance_, nullptr);
        if (window == nullptr) {
            return false;
        }
        HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 10, 10,
                                    280, 24, window, nullptr, instance_, nullptr);
        if (edit == nullptr) {
            return false;
        }
        SetForegroundWindow(window);
        SetFocus(edit);
        log_.Line(L"bystander", L"hwnd=" + Hex(reinterpret_cast<UINT_PTR>(window)) + L" edit=" +
                                    Hex(reinterpret_cast<UINT_PTR>(edit)));
        return true;
    }

    static UINT_PTR ForegroundWindow() { return reinterpret_cast<UINT_PTR>(GetForegroundWindow()); }

    HINSTANCE instance_;
    bool german_;
    Log log_;
    HWND control_ = nullptr;
    HWND dialog_ = nullptr;
    HWND thief_ = nullptr;
    std::optional<OpenRequest> pending_;
    LRESULT loggedSelection_ = standin::kNoSelection;
};

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSW control{};
    control.lpfnWndProc = StandIn::ControlProc;
    control.hInstance = instance;
    control.lpszClassName = kControlClass;
    WNDCLASSW plain{};
    plain.lpfnWndProc = PlainProc;
    plain.hInstance = instance;
    plain.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plain.lpszClassName = kPlainClass;
    return RegisterClassW(&control) != 0 && RegisterClassW(&plain) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    bool german = false;
    bool bystander = false;
    std::wstring logPath;
    int count = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            const std::wstring_view arg = args[i];
            if (arg == L"/german") {
                german = true;
            } else if (arg == L"/bystander") {
                bystander = true;
            } else if (arg.starts_with(L"/log:")) {
                logPath = arg.substr(5);
            }
        }
        LocalFree(args);
    }
    if (!RegisterClasses(instance)) {
        return 1;
    }
    StandIn standIn(instance, german, logPath);
    if (!standIn.Create(bystander)) {
        return 1;
    }
    return standIn.Run();
}
