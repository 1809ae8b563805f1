// Stand-in for the system volume control, installed as SNDVOL32.EXE in the Windows folder of the
// Wine prefix that the end-to-end tests use. It is a test double of our own design: just enough
// of a volume control for the launcher to drive it with keystrokes.
//
// What it shows
//   A main window titled "Volume Control" with a menu bar "O&ptions" holding "P&roperties..." and
//   "E&xit". Properties opens a modal dialog titled "Properties", built from an in-memory template
//   and run by the system dialog manager. Its tab order is
//     1. "&Mixer device:" combo box (a drop-down list; has the focus when the dialog opens)
//     2. "&Playback" / "&Recording" auto radio buttons (one group; Playback checked on opening)
//     3. OK (the default push button) and Cancel
//   so that Tab, Down, Enter typed right after the dialog opens moves to Playback, moves to and
//   checks Recording, and presses OK. OK with Recording checked retitles the main window
//   "Recording Control"; OK with Playback checked, Cancel or Esc leave (or put back) the title
//   "Volume Control". The keys "%pr{TAB}{DOWN}~" therefore do the whole thing: Alt+p opens the
//   Options menu by its access letter, r chooses Properties..., and the rest goes to the dialog.
//
// Options (case-insensitive, '/' or '-'; also read from the environment variable
// STANDIN_SNDVOL32_OPTIONS, before the command line, for runs where the program that starts this
// one passes no arguments):
//   /delay:<ms>   start slowly: no window at all exists until <ms> have passed (the thread pumps
//                 messages while it waits, so WaitForInputIdle may return before the window shows)
//   /noswitch     the Properties dialog never switches: OK keeps the title "Volume Control"
//   /noactivate   show the main window without activating it (SW_SHOWNOACTIVATE)
//   /crash:<ms>   ExitProcess(3) <ms> after the program starts, whatever it is doing then
//   /log:<path>   append one line per key message received and per notable event to <path>
// Arguments it does not know are logged and ignored; a bad value of a known option ends the
// program with exit code 2 before any window is created.
//
// Log lines (UTF-8, '\n'-terminated, each written with one WriteFile call so that it is on disk
// for other readers as soon as it is written, even if the process then dies):
//   <qpc> pid=<pid> key <WM_...> vk=0x<vk> <name> lp=0x<lParam> hwnd=0x<hwnd> class=<class>
//         title="<title>" via=main|hook [synthetic]
//   <qpc> pid=<pid> key <WM_CHAR|WM_SYSCHAR> ch=0x<code> '<char>' lp=... (as above)
//   <qpc> pid=<pid> event <name> [details]
// <qpc> is the raw QueryPerformanceCounter value (its frequency is in the "start" event). Key
// messages that the main message loop retrieves are logged by that loop (via=main) before
// TranslateMessage/DispatchMessage; the ones that other loops retrieve (the menu's and the dialog
// manager's modal loops) are logged by a WH_GETMESSAGE hook on this thread (via=hook), which skips
// the main loop's own retrievals and the peeks that leave the message in the queue, so that every
// key message is logged exactly once. A key message whose repeat count is 0 did not come from the
// keyboard (for example one that the menu code posts to itself) and is marked "synthetic".
// Events: start, ignored-arg, bad-option, delay-begin, delay-end, window-shown, activated,
// deactivated, menu-opened, menu-closed, menu-command, dialog-opened, dialog-ready,
// playback-chosen, recording-chosen, dialog-closed, dialog-failed, retitled, retitle-suppressed,
// crash, exit.
//
// Exit codes: 0 normal end, 1 could not start, 2 bad option value, 3 the /crash timer fired.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"StandinVolumeControl";
constexpr wchar_t kTitleVolume[] = L"Volume Control";
constexpr wchar_t kTitleRecording[] = L"Recording Control";
constexpr wchar_t kOptionsVariable[] = L"STANDIN_SNDVOL32_OPTIONS";

constexpr UINT kCmdProperties = 100;
constexpr UINT kCmdExit = 101;

constexpr WORD kIdDevice = 200;
constexpr WORD kIdPlayback = 201;
constexpr WORD kIdRecording = 202;
constexpr WORD kIdNone = 0xFFFF;  // the id of controls that are never addressed

constexpr UINT kMsgDialogReady = WM_APP + 1;

constexpr INT_PTR kChosePlayback = 10;
constexpr INT_PTR kChoseRecording = 11;

constexpr UINT kExitStartFailed = 1;
constexpr UINT kExitBadOption = 2;
constexpr UINT kExitCrash = 3;

// ---------------------------------------------------------------------------------------------
// Text helpers

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int wide_len = static_cast<int>(text.size());
    const int len =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide_len, nullptr, 0, nullptr, nullptr);
    if (len <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide_len, out.data(), len, nullptr, nullptr);
    return out;
}

std::string Hex(std::uint64_t value, int min_digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    while (value != 0 || static_cast<int>(out.size()) < min_digits) {
        out.insert(out.begin(), kDigits[value & 0xFU]);
        value >>= 4U;
    }
    return out;
}

std::string HandleText(const void* handle) {
    return "0x" + Hex(reinterpret_cast<std::uintptr_t>(handle), 8);
}

// Quotes a title for the log: backslashes and double quotes escaped, control characters as \xNN.
std::string Quoted(std::wstring_view text) {
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20U) {
            out += "\\x" + Hex(byte, 2);
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const int len = static_cast<int>(a.size());
    return CompareStringOrdinal(a.data(), len, b.data(), len, TRUE) == CSTR_EQUAL;
}

std::wstring WindowTitle(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::wstring WindowClass(HWND hwnd) {
    wchar_t buffer[256] = {};
    if (hwnd == nullptr || GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer))) == 0) {
        return L"-";
    }
    return buffer;
}

// ---------------------------------------------------------------------------------------------
// The log

class EventLog {
  public:
    void Open(const std::wstring& path) {
        file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    [[nodiscard]] bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

    // Writes "<qpc> pid=<pid> <body>\n" with one WriteFile call; nothing is buffered here.
    void Write(std::string_view body) const {
        if (!IsOpen()) {
            return;
        }
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        std::string line = std::to_string(now.QuadPart);
        line += " pid=";
        line += std::to_string(GetCurrentProcessId());
        line += ' ';
        line += body;
        line += '\n';
        DWORD written = 0;
        WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    void Event(std::string_view name, std::string_view details = {}) const {
        std::string body = "event ";
        body += name;
        if (!details.empty()) {
            body += ' ';
            body += details;
        }
        Write(body);
    }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// ---------------------------------------------------------------------------------------------
// Options

struct Options {
    DWORD delay_ms = 0;
    bool no_switch = false;
    bool no_activate = false;
    bool crash = false;
    DWORD crash_ms = 0;
    std::wstring log_path;
    std::vector<std::wstring> ignored;
    std::wstring error;  // the first bad option value, if any
};

// Splits arguments as the C runtime does: white space separates them outside double quotes;
// 2n backslashes before a quote give n backslashes and the quote toggles quoting, 2n+1 give n
// backslashes and a literal quote; "" inside quotes is a literal quote; other backslashes are
// literal.
std::vector<std::wstring> SplitArguments(std::wstring_view text) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const auto is_space = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (true) {
        while (i < text.size() && is_space(text[i])) {
            ++i;
        }
        if (i >= text.size()) {
            break;
        }
        std::wstring arg;
        bool quoted = false;
        while (i < text.size() && (quoted || !is_space(text[i]))) {
            if (text[i] == L'\\') {
                std::size_t slashes = 0;
                while (i < text.size() && text[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < text.size() && text[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg += L'"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, L'\\');
                }
            } else if (text[i] == L'"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == L'"') {
                    arg += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += text[i];
                ++i;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

// The command line less the program name, which follows simpler rules: it runs to the closing
// quote if it starts with one, else to the first white space.
std::wstring_view ArgumentsOf(std::wstring_view command_line) {
    std::size_t i = 0;
    if (!command_line.empty() && command_line[0] == L'"') {
        i = command_line.find(L'"', 1);
        i = (i == std::wstring_view::npos) ? command_line.size() : i + 1;
    } else {
        while (i < command_line.size() && command_line[i] != L' ' && command_line[i] != L'\t') {
            ++i;
        }
    }
    return command_line.substr(i);
}

bool ParseMilliseconds(std::wstring_view text, DWORD& value) {
    constexpr std::uint64_t kMax = 24ULL * 60 * 60 * 1000;  // a day is plenty for a test
    if (text.empty() || text.size() > 9) {
        return false;
    }
    std::uint64_t result = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        result = result * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (result > kMax) {
        return false;
    }
    value = static_cast<DWORD>(result);
    return true;
}

void ApplyArgument(const std::wstring& arg, Options& options) {
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) {
        options.ignored.push_back(arg);
        return;
    }
    const std::wstring_view body = std::wstring_view(arg).substr(1);
    const std::size_t colon = body.find(L':');
    const std::wstring_view name = body.substr(0, colon);
    const bool has_value = colon != std::wstring_view::npos;
    const std::wstring_view value = has_value ? body.substr(colon + 1) : std::wstring_view();
    const auto bad = [&] {
        if (options.error.empty()) {
            options.error = arg;
        }
    };
    if (EqualsNoCase(name, L"delay")) {
        if (!has_value || !ParseMilliseconds(value, options.delay_ms)) {
            bad();
        }
    } else if (EqualsNoCase(name, L"crash")) {
        if (!has_value || !ParseMilliseconds(value, options.crash_ms)) {
            bad();
        } else {
            options.crash = true;
        }
    } else if (EqualsNoCase(name, L"log")) {
        if (!has_value || value.empty()) {
            bad();
        } else {
            options.log_path = value;
        }
    } else if (EqualsNoCase(name, L"noswitch") && !has_value) {
        options.no_switch = true;
    } else if (EqualsNoCase(name, L"noactivate") && !has_value) {
        options.no_activate = true;
    } else {
        options.ignored.push_back(arg);
    }
}

Options ReadOptions() {
    Options options;
    const DWORD needed = GetEnvironmentVariableW(kOptionsVariable, nullptr, 0);
    if (needed > 0) {
        std::wstring from_environment(needed, L'\0');
        const DWORD len =
            GetEnvironmentVariableW(kOptionsVariable, from_environment.data(), needed);
        from_environment.resize(len < needed ? len : 0);
        for (const std::wstring& arg : SplitArguments(from_environment)) {
            ApplyArgument(arg, options);
        }
    }
    for (const std::wstring& arg : SplitArguments(ArgumentsOf(GetCommandLineW()))) {
        ApplyArgument(arg, options);
    }
    return options;
}

std::string Describe(const Options& options) {
    std::string out = "delay=" + std::to_string(options.delay_ms);
    out += " noswitch=" + std::to_string(options.no_switch ? 1 : 0);
    out += " noactivate=" + std::to_string(options.no_activate ? 1 : 0);
    out += " crash=" + (options.crash ? std::to_string(options.crash_ms) : std::string("-"));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Program state (one GUI thread; the /crash timer callback only writes the log and exits)

struct Program {
    HINSTANCE instance = nullptr;
    Options options;
    EventLog log;
    HWND main_window = nullptr;
    bool showing_recording = false;
    // True only while the main loop's own GetMessage call runs, so that the hook leaves the key
    // messages that this loop retrieves to the loop itself.
    bool main_loop_retrieving = false;
};

Program g_program;

// Clears Program::main_loop_retrieving for the time a window procedure runs, so that a modal
// loop started from a message sent during the main loop's GetMessage is still logged by the hook.
class NestedLoopScope {
  public:
    NestedLoopScope() : saved_(g_program.main_loop_retrieving) {
        g_program.main_loop_retrieving = false;
    }
    ~NestedLoopScope() { g_program.main_loop_retrieving = saved_; }
    NestedLoopScope(const NestedLoopScope&) = delete;
    NestedLoopScope& operator=(const NestedLoopScope&) = delete;

  private:
    bool saved_;
};

// ---------------------------------------------------------------------------------------------
// Key message logging

bool IsKeyMessage(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
            return true;
        default:
            return false;
    }
}

const char* MessageName(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
            return "WM_KEYDOWN";
        case WM_KEYUP:
            return "WM_KEYUP";
        case WM_SYSKEYDOWN:
            return "WM_SYSKEYDOWN";
        case WM_SYSKEYUP:
            return "WM_SYSKEYUP";
        case WM_CHAR:
            return "WM_CHAR";
        case WM_SYSCHAR:
            return "WM_SYSCHAR";
        default:
            return "WM_?";
    }
}

std::string KeyName(WPARAM vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        return std::string(1, static_cast<char>(vk));
    }
    if (vk >= VK_F1 && vk <= VK_F24) {
        return "F" + std::to_string(vk - VK_F1 + 1);
    }
    switch (vk) {
        case VK_MENU:
            return "MENU";
        case VK_LMENU:
            return "LMENU";
        case VK_RMENU:
            return "RMENU";
        case VK_SHIFT:
            return "SHIFT";
        case VK_LSHIFT:
            return "LSHIFT";
        case VK_RSHIFT:
            return "RSHIFT";
        case VK_CONTROL:
            return "CONTROL";
        case VK_LCONTROL:
            return "LCONTROL";
        case VK_RCONTROL:
            return "RCONTROL";
        case VK_TAB:
            return "TAB";
        case VK_RETURN:
            return "RETURN";
        case VK_ESCAPE:
            return "ESCAPE";
        case VK_SPACE:
            return "SPACE";
        case VK_BACK:
            return "BACK";
        case VK_DELETE:
            return "DELETE";
        case VK_INSERT:
            return "INSERT";
        case VK_HOME:
            return "HOME";
        case VK_END:
            return "END";
        case VK_PRIOR:
            return "PRIOR";
        case VK_NEXT:
            return "NEXT";
        case VK_LEFT:
            return "LEFT";
        case VK_RIGHT:
            return "RIGHT";
        case VK_UP:
            return "UP";
        case VK_DOWN:
            return "DOWN";
        case VK_PACKET:
            return "PACKET";
        default:
            return "?";
    }
}

void LogKeyMessage(const MSG& msg, const char* via) {
    if (!g_program.log.IsOpen()) {
        return;
    }
    std::string body = "key ";
    body += MessageName(msg.message);
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        body += " ch=0x" + Hex(msg.wParam, 4);
        const auto ch = static_cast<wchar_t>(msg.wParam);
        body += ' ';
        body += (ch >= 0x20 && ch != 0x7F) ? "'" + ToUtf8(std::wstring_view(&ch, 1)) + "'"
                                           : std::string("-");
    } else {
        body += " vk=0x" + Hex(msg.wParam, 2) + ' ' + KeyName(msg.wParam);
    }
    body += " lp=0x" + Hex(static_cast<std::uint32_t>(msg.lParam), 8);
    body += " hwnd=" + HandleText(msg.hwnd);
    body += " class=" + ToUtf8(WindowClass(msg.hwnd));
    body += " title=" + Quoted(WindowTitle(msg.hwnd));
    body += " via=";
    body += via;
    if ((static_cast<std::uint32_t>(msg.lParam) & 0xFFFFU) == 0) {
        body += " synthetic";
    }
    g_program.log.Write(body);
}

// Sees every message that any loop of this thread retrieves: GetMessage, and PeekMessage with
// PM_REMOVE (wParam) or without it. Only removals are logged, and only the ones that the main
// loop does not log itself.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && (wParam & PM_REMOVE) != 0 && !g_program.main_loop_retrieving) {
        const auto* msg =
            reinterpret_cast<const MSG*>(lParam);  // NOLINT(performance-no-int-to-ptr)
        if (IsKeyMessage(msg->message)) {
            LogKeyMessage(*msg, "hook");
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// The Properties dialog, from an in-memory template

class DialogTemplate {
  public:
    DialogTemplate(DWORD style, short width, short height, std::wstring_view title, WORD point_size,
                   std::wstring_view font) {
        PushDword(style);
        PushDword(0);  // extended style
        PushWord(0);   // number of items, counted by AddItem
        PushWord(0);   // x
        PushWord(0);   // y
        PushWord(static_cast<WORD>(width));
        PushWord(static_cast<WORD>(height));
        PushWord(0);  // no menu
        PushWord(0);  // the predefined dialog class
        PushString(title);
        PushWord(point_size);  // present because the style has DS_SETFONT
        PushString(font);
    }

    void AddItem(DWORD style, short x, short y, short width, short height, WORD id, WORD class_atom,
                 std::wstring_view text) {
        Align();
        PushDword(style | WS_CHILD | WS_VISIBLE);
        PushDword(0);  // extended style
        PushWord(static_cast<WORD>(x));
        PushWord(static_cast<WORD>(y));
        PushWord(static_cast<WORD>(width));
        PushWord(static_cast<WORD>(height));
        PushWord(id);
        PushWord(0xFFFF);  // the class is given by its atom
        PushWord(class_atom);
        PushString(text);
        PushWord(0);  // no creation data
        ++words_[kCountIndex];
    }

    [[nodiscard]] const DLGTEMPLATE* Get() const {
        // std::vector's storage comes from operator new, which is aligned for any scalar type,
        // so the template starts on a DWORD boundary as the dialog manager requires.
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

  private:
    static constexpr std::size_t kCountIndex = 4;  // after the two DWORDs of styles

    void PushWord(WORD value) { words_.push_back(value); }
    void PushDword(DWORD value) {
        PushWord(LOWORD(value));
        PushWord(HIWORD(value));
    }
    void PushString(std::wstring_view text) {
        for (const wchar_t c : text) {
            PushWord(static_cast<WORD>(c));
        }
        PushWord(0);
    }
    void Align() {
        if (words_.size() % 2 != 0) {
            PushWord(0);
        }
    }

    std::vector<WORD> words_;
};

constexpr WORD kAtomButton = 0x0080;
constexpr WORD kAtomStatic = 0x0082;
constexpr WORD kAtomComboBox = 0x0085;

// Tab order is template order. The combo box is the first tab stop, so it has the focus when the
// dialog opens (WM_INITDIALOG returns TRUE). Tab moves to the next tab stop, Playback, the first
// control of the radio group (WS_GROUP | WS_TABSTOP on it, WS_GROUP on OK closes the group).
// Down moves within the group to Recording, and the dialog manager checks an auto radio button
// that it moves the focus to. Enter is not wanted by a radio button, so the dialog manager
// presses the default button, OK.
DialogTemplate BuildPropertiesTemplate() {
    DialogTemplate t(
        DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
        212, 112, L"Properties", 8, L"MS Shell Dlg");
    t.AddItem(SS_LEFT, 7, 9, 60, 8, kIdNone, kAtomStatic, L"&Mixer device:");
    t.AddItem(CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 70, 7, 135, 60, kIdDevice, kAtomComboBox,
              L"");
    t.AddItem(BS_GROUPBOX, 7, 26, 198, 54, kIdNone, kAtomButton, L"Adjust volume for");
    t.AddItem(BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 16, 40, 120, 10, kIdPlayback, kAtomButton,
              L"&Playback");
    t.AddItem(BS_AUTORADIOBUTTON, 16, 58, 120, 10, kIdRecording, kAtomButton, L"&Recording");
    t.AddItem(BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 101, 91, 50, 14, IDOK, kAtomButton, L"OK");
    t.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 155, 91, 50, 14, IDCANCEL, kAtomButton, L"Cancel");
    return t;
}

INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    const NestedLoopScope scope;
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, kIdDevice, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(L"Stand-in Mixer"));
            SendDlgItemMessageW(dialog, kIdDevice, CB_SETCURSEL, 0, 0);
            CheckRadioButton(dialog, kIdPlayback, kIdRecording, kIdPlayback);
            g_program.log.Event("dialog-opened", "hwnd=" + HandleText(dialog));
            // Posted messages come before input, so this is handled before any key typed ahead.
            PostMessageW(dialog, kMsgDialogReady, 0, 0);
            return TRUE;  // the focus goes to the first tab stop, the combo box
        case kMsgDialogReady:
            g_program.log.Event("dialog-ready",
                                "focus=" + ToUtf8(WindowClass(GetFocus())) +
                                    " visible=" + (IsWindowVisible(dialog) != FALSE ? "1" : "0"));
            return TRUE;
        case WM_COMMAND: {
            const WORD id = LOWORD(wParam);
            const WORD code = HIWORD(wParam);
            if ((id == kIdPlayback || id == kIdRecording) && code == BN_CLICKED) {
                if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
                    g_program.log.Event(id == kIdRecording ? "recording-chosen"
                                                           : "playback-chosen");
                }
                return TRUE;
            }
            if (id == IDOK) {
                const bool recording = IsDlgButtonChecked(dialog, kIdRecording) == BST_CHECKED;
                EndDialog(dialog, recording ? kChoseRecording : kChosePlayback);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void SetShowingRecording(bool recording) {
    g_program.showing_recording = recording;
    const wchar_t* title = recording ? kTitleRecording : kTitleVolume;
    if (WindowTitle(g_program.main_window) != title) {
        SetWindowTextW(g_program.main_window, title);
        g_program.log.Event("retitled", "title=" + Quoted(title));
    }
    InvalidateRect(g_program.main_window, nullptr, TRUE);
}

void RunPropertiesDialog(HWND owner) {
    const DialogTemplate dialog_template = BuildPropertiesTemplate();
    const INT_PTR result = DialogBoxIndirectParamW(g_program.instance, dialog_template.Get(), owner,
                                                   PropertiesProc, 0);
    if (result == -1 || result == 0) {
        g_program.log.Event("dialog-failed", "error=" + std::to_string(GetLastError()));
        return;
    }
    const bool ok = result == kChosePlayback || result == kChoseRecording;
    const bool recording = result == kChoseRecording;
    g_program.log.Event("dialog-closed", std::string("result=") + (ok ? "ok" : "cancel") +
                                             " recording=" + (recording ? "1" : "0"));
    if (!ok) {
        return;
    }
    if (recording && g_program.options.no_switch) {
        g_program.log.Event("retitle-suppressed", "reason=noswitch");
        return;
    }
    SetShowingRecording(recording);
}

// ---------------------------------------------------------------------------------------------
// The main window

void PaintMain(HWND hwnd) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    RECT area{};
    GetClientRect(hwnd, &area);
    InflateRect(&area, -12, -12);
    const wchar_t* text = g_program.showing_recording
                              ? L"Stand-in volume control\nShowing the recording controls."
                              : L"Stand-in volume control\nShowing the playback controls.";
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
    EndPaint(hwnd, &paint);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const NestedLoopScope scope;
    switch (message) {
        case WM_ACTIVATE:
            g_program.log.Event(LOWORD(wParam) == WA_INACTIVE ? "deactivated" : "activated",
                                "hwnd=" + HandleText(hwnd));
            break;
        case WM_INITMENUPOPUP:
            if (HIWORD(lParam) == 0) {
                g_program.log.Event("menu-opened", "menu=Options");
            }
            break;
        case WM_EXITMENULOOP:
            g_program.log.Event("menu-closed");
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 && LOWORD(wParam) == kCmdProperties) {
                g_program.log.Event("menu-command", "item=Properties");
                RunPropertiesDialog(hwnd);
                return 0;
            }
            if (HIWORD(wParam) == 0 && LOWORD(wParam) == kCmdExit) {
                g_program.log.Event("menu-command", "item=Exit");
                DestroyWindow(hwnd);
                return 0;
            }
            break;
        case WM_PAINT:
            PaintMain(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HMENU BuildMenuBar() {
    HMENU bar = CreateMenu();
    HMENU options = CreatePopupMenu();
    AppendMenuW(options, MF_STRING, kCmdProperties, L"P&roperties...");
    AppendMenuW(options, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(options, MF_STRING, kCmdExit, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"O&ptions");
    return bar;
}

bool CreateMainWindow() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = MainProc;
    window_class.hInstance = g_program.instance;
    window_class.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kMainClass;
    if (RegisterClassExW(&window_class) == 0) {
        return false;
    }
    g_program.main_window = CreateWindowExW(0, kMainClass, kTitleVolume, WS_OVERLAPPEDWINDOW,
                                            CW_USEDEFAULT, CW_USEDEFAULT, 360, 200, nullptr,
                                            BuildMenuBar(), g_program.instance, nullptr);
    return g_program.main_window != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Start-up

// Waits `milliseconds` without showing anything, handling whatever messages arrive meanwhile.
// Returns false if a WM_QUIT came.
bool PumpFor(DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        const auto left = static_cast<DWORD>(deadline - now);
        if (MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
            WAIT_OBJECT_0) {
            continue;
        }
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            if (msg.message == WM_QUIT) {
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void CALLBACK CrashNow(PVOID, BOOLEAN) {
    g_program.log.Event("crash", "code=" + std::to_string(kExitCrash));
    ExitProcess(kExitCrash);
}

int Run(int show_command) {
    Program& p = g_program;
    p.options = ReadOptions();
    if (!p.options.log_path.empty()) {
        p.log.Open(p.options.log_path);
    }
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    p.log.Event("start", "qpf=" + std::to_string(frequency.QuadPart) + ' ' + Describe(p.options));
    for (const std::wstring& arg : p.options.ignored) {
        p.log.Event("ignored-arg", "arg=" + Quoted(arg));
    }
    if (!p.options.error.empty()) {
        p.log.Event("bad-option", "arg=" + Quoted(p.options.error));
        p.log.Event("exit", "code=" + std::to_string(kExitBadOption));
        return static_cast<int>(kExitBadOption);
    }

    if (p.options.crash) {
        HANDLE timer = nullptr;
        if (CreateTimerQueueTimer(&timer, nullptr, CrashNow, nullptr,
                                  p.options.crash_ms == 0 ? 1 : p.options.crash_ms, 0,
                                  WT_EXECUTEONLYONCE) == FALSE) {
            p.log.Event("exit", "code=" + std::to_string(kExitStartFailed));
            return static_cast<int>(kExitStartFailed);
        }
    }

    // Installed before anything else touches the message queue, so that no key message is
    // retrieved unlogged.
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());

    if (p.options.delay_ms > 0) {
        p.log.Event("delay-begin", "ms=" + std::to_string(p.options.delay_ms));
        if (!PumpFor(p.options.delay_ms)) {
            p.log.Event("exit", "code=0");
            return 0;
        }
        p.log.Event("delay-end");
    }

    if (!CreateMainWindow()) {
        p.log.Event("exit", "code=" + std::to_string(kExitStartFailed));
        return static_cast<int>(kExitStartFailed);
    }
    // Shown the way the program that started this one asked, as a program should: WinMain's
    // show command is SW_SHOWDEFAULT (shown and activated) unless STARTUPINFO says otherwise.
    const int show = p.options.no_activate ? SW_SHOWNOACTIVATE : show_command;
    ShowWindow(p.main_window, show);
    UpdateWindow(p.main_window);
    p.log.Event("window-shown", "hwnd=" + HandleText(p.main_window) +
                                    " title=" + Quoted(WindowTitle(p.main_window)) +
                                    " show=" + std::to_string(show) + " foreground=" +
                                    (GetForegroundWindow() == p.main_window ? "1" : "0"));

    MSG msg{};
    int exit_code = 0;
    while (true) {
        p.main_loop_retrieving = true;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        p.main_loop_retrieving = false;
        if (got == -1) {
            exit_code = static_cast<int>(kExitStartFailed);
            break;
        }
        if (got == 0) {
            exit_code = static_cast<int>(msg.wParam);
            break;
        }
        if (IsKeyMessage(msg.message)) {
            LogKeyMessage(msg, "main");
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    p.log.Event("exit", "code=" + std::to_string(exit_code));
    return exit_code;
}

}  // namespace

// Both entry points, so that the program links with or without -municode; the command line is
// read with GetCommandLineW either way.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShowCmd) {
    g_program.instance = hInstance;
    return Run(nShowCmd);
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nShowCmd) {
    g_program.instance = hInstance;
    return Run(nShowCmd);
}
