#include "desktop/win32/win32_shell.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "common/text.h"
#include "desktop/win32/key_input.h"
#include "desktop/win32/win32_text.h"

namespace desktop::win32 {
namespace {

constexpr char kToolkitClass[] = "QuintaroToolkit";
// How long a typed-into program may take to answer before it counts as hung.
constexpr UINT kAnswerTimeoutMs = 2000;
constexpr std::size_t kRoundTripsPerKeyEvent = 4;

// WinEvent and hook callbacks carry no context; the process has a single shell.
bool desktopChanged = false;
int reportsArrived = 0;
// Where reports of other programs' windows go, and the clock that dates them.
WindowSearch* reportsTo = nullptr;
PlatformShell* reportsClock = nullptr;
int userPresses = 0;

// Low-level hooks run on this thread while it pumps or waits for messages.
LRESULT CALLBACK OnKeyboardInput(int code, WPARAM message, LPARAM event) {
    if (code == HC_ACTION && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) ++userPresses;
    return CallNextHookEx(nullptr, code, message, event);
}

LRESULT CALLBACK OnMouseInput(int code, WPARAM message, LPARAM event) {
    if (code == HC_ACTION) {
        switch (message) {
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_XBUTTONDOWN:
            case WM_MOUSEWHEEL:
                ++userPresses;
                break;
            default:
                break;
        }
    }
    return CallNextHookEx(nullptr, code, message, event);
}

std::optional<DesktopChange> ChangeOf(DWORD event) {
    switch (event) {
        case EVENT_OBJECT_CREATE:
            return DesktopChange::Created;
        case EVENT_OBJECT_DESTROY:
            return DesktopChange::Destroyed;
        case EVENT_OBJECT_SHOW:
            return DesktopChange::Shown;
        case EVENT_OBJECT_HIDE:
            return DesktopChange::Hidden;
        case EVENT_OBJECT_NAMECHANGE:
            return DesktopChange::Renamed;
        case EVENT_SYSTEM_FOREGROUND:
            return DesktopChange::Foreground;
        default:
            return std::nullopt;
    }
}

// Wine 8 raises EVENT_OBJECT_CREATE alone (no show, hide, rename, destroy or foreground
// events), so callers re-check at a pace of their own choosing as well; the title search
// learns from what arrives which changes it may wait for, and says which may matter to
// what it looks for: only those end a wait.
void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                         DWORD) {
    ++reportsArrived;
    if (object != OBJID_WINDOW || child != CHILDID_SELF) return;
    const auto change = ChangeOf(event);
    // Controls inside other programs' windows come and go too; only top-level ones count.
    // A window made is asked by the search, and only when its title is one looked for:
    // under Wine creation is all that is reported, and the desktop makes windows fast.
    const bool made = change == DesktopChange::Created && reportsTo != nullptr;
    if (!made && window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) return;
    if (window == nullptr || !change || reportsTo == nullptr) {
        desktopChanged = true;
    } else if (reportsTo->Reported(*change, HandleToLong(window), reportsClock->Now())) {
        desktopChanged = true;
    }
}

Win32FormWindow& WindowOf(Form& form) { return static_cast<Win32FormWindow&>(form.Window()); }

// Writes `text` and a NUL over the start of `buffer`, which is made at least `size` long.
void WriteOverStart(std::u16string& buffer, int size, const std::u16string& text) {
    if (buffer.size() < static_cast<std::size_t>(size)) {
        buffer.resize(static_cast<std::size_t>(size), u'\0');
    }
    buffer.replace(0, text.size(), text);
    buffer[text.size()] = u'\0';
}

// A directory from the system's A query into a fixed buffer of `size`.
int CopyDirectory(UINT(WINAPI* query)(LPSTR, UINT), std::u16string& buffer, int size) {
    if (size <= 0) return 0;
    std::string directory(static_cast<std::size_t>(size), '\0');
    const UINT length = query(directory.data(), static_cast<UINT>(size));
    // Too small a buffer gets nothing but the size it would need, as the system does.
    if (length == 0 || length >= static_cast<UINT>(size)) return static_cast<int>(length);
    const std::u16string text = FromAnsi(std::string_view(directory.data(), length));
    WriteOverStart(buffer, size, text);
    return static_cast<int>(text.size());
}

HWND ToHwnd(WindowHandle window) { return static_cast<HWND>(LongToHandle(window)); }

}  // namespace

Win32Shell::Win32Shell(const SystemFunctions& system)
    : system_(system), windows_(system), search_(windows_) {
    // Layouts are in twips: the forms scale to the display themselves. Before Vista every
    // program is DPI-aware; from Vista on the manifest says so too.
    if (system_.SetProcessDPIAware != nullptr) system_.SetProcessDPIAware();
    const ATOM toolkitClass = system_.RegisterWindowClass(kToolkitClass, ToolkitProc, 0, nullptr);
    Win32FormWindow::RegisterClassWith(system_);
    // A hidden top-level window, not a message-only one: the end of the session is
    // announced to top-level windows only.
    toolkit_ = system_.NewWindow(0, toolkitClass, u"", WS_POPUP, RECT{}, nullptr, this);
    if (toolkit_ == nullptr) {
        throw DesktopError("cannot create the toolkit window: " + ErrorText(GetLastError()));
    }
    // Hooked from the start, so no change between the program's first look and its
    // first wait goes unseen. Without the hooks (95, NT 4.0 before SP6) the waiters'
    // own re-checks find every change, as they find the ones Wine does not report.
    if (system_.SetWinEventHook == nullptr) return;
    reportsTo = &search_;
    reportsClock = this;
    const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    windowHook_ = system_.SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_HIDE, nullptr,
                                          OnWinEvent, 0, 0, flags);
    renameHook_ = system_.SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                          OnWinEvent, 0, 0, flags);
    foregroundHook_ = system_.SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND,
                                              nullptr, OnWinEvent, 0, 0, flags);
    if (windowHook_ == nullptr || renameHook_ == nullptr || foregroundHook_ == nullptr) {
        throw DesktopError("cannot watch the desktop's windows: " + ErrorText(GetLastError()));
    }
}

Win32Shell::~Win32Shell() {
    CountUserPresses(false);
    reportsTo = nullptr;
    for (HWINEVENTHOOK hook : {foregroundHook_, renameHook_, windowHook_}) {
        if (hook != nullptr) system_.UnhookWinEvent(hook);
    }
    DestroyWindow(toolkit_);
}

// ---- Desktop operations ------------------------------------------------------------

WindowHandle Win32Shell::FindWindowA(std::u16string_view title) {
    return HandleToLong(::FindWindowA(nullptr, ToAnsi(title).c_str()));
}

TitledWindow Win32Shell::FindWindowTitled(std::span<const std::u16string_view> titles,
                                          DesktopLook look) {
    return search_.Find(titles, look, Now());
}

bool Win32Shell::TypeStrokes(const KeySequence& strokes, bool wait, WindowHandle onlyInto) {
    DWORD targetProcess = 0;
    if (onlyInto != 0) GetWindowThreadProcessId(ToHwnd(onlyInto), &targetProcess);
    for (const KeyStroke& stroke : strokes) {
        if (onlyInto != 0) {
            HWND front = GetForegroundWindow();
            if (&stroke == &strokes.front()) {
                if (HandleToLong(front) != onlyInto) return false;
            } else {
                // The keys may open the target's own menus and dialogs, so typing goes on
                // while any window of its program is in front. Once another program has
                // come forward the rest cannot be delivered, and typing it again from the
                // start would repeat what was typed.
                DWORD frontProcess = 0;
                GetWindowThreadProcessId(front, &frontProcess);
                if (frontProcess != targetProcess) {
                    throw DesktopError("typing stopped: another program came to the front");
                }
            }
        }
        std::vector<INPUT> inputs = StrokeInputs(system_, stroke);
        const auto count = static_cast<UINT>(inputs.size());
        const UINT inserted = InsertKeys(system_, inputs);
        if (inserted != count) {
            const DWORD error = GetLastError();
            std::vector<INPUT> releases = ReleasesOfPartialInsert(inputs, inserted);
            if (!releases.empty()) InsertKeys(system_, releases);
            throw DesktopError("typing " + common::ToUtf8(DescribeStrokes({stroke})) +
                               ": the system took " + std::to_string(inserted) + " of " +
                               std::to_string(count) + " key events, " + ErrorText(error));
        }
        if (wait) WaitUntilKeysHandled(inputs.size());
    }
    return true;
}

bool Win32Shell::PostStrokes(const KeySequence& strokes, WindowHandle target) {
    HWND window = ToHwnd(target);
    for (const KeyStroke& stroke : strokes) {
        for (const KeyMessage& m : StrokeMessages(system_, stroke)) {
            if (system_.PostTo(window, m.message, m.wparam, m.lparam) == FALSE) return false;
        }
    }
    return true;
}

void Win32Shell::WaitUntilKeysHandled(std::size_t keyEvents) {
    // A sent message overtakes input already queued, so one WM_NULL round trip proves
    // only that the receiver is back in its message loop; under Wine a run of them can
    // hold its input back for several trips. Four round trips per key event left no
    // stroke unhandled in thousands measured under Wine (six for a plain key did not).
    // The foreground is asked again each time: the keys may have opened a menu or dialog.
    for (std::size_t trip = 0; trip < kRoundTripsPerKeyEvent * keyEvents; ++trip) {
        HWND foreground = GetForegroundWindow();
        if (foreground == nullptr) return;
        if (GetWindowThreadProcessId(foreground, nullptr) == GetCurrentThreadId()) {
            PumpEvents();
            return;
        }
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(foreground, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                                &answer) == 0) {
            return;  // hung or gone: there is nothing more to wait for
        }
    }
}

void Win32Shell::PumpEvents() {
    MSG message;
    while (system_.PeekAt(message, PM_REMOVE)) Deliver(message);
}

void Win32Shell::Deliver(MSG& message) const {
    // Nothing here posts WM_QUIT: one from outside ends the thread's message loop, and
    // with it the program, as it ends a classic one.
    if (message.message == WM_QUIT) ExitProcess(static_cast<UINT>(message.wParam));
    HWND root = message.hwnd != nullptr ? RootOf(message.hwnd) : nullptr;
    if (Win32FormWindow::IsFormWindow(root) && system_.DialogMessage(root, message)) return;
    TranslateMessage(&message);
    system_.DispatchOne(message);
}

HWND Win32Shell::RootOf(HWND window) const {
    if (system_.GetAncestor != nullptr) return system_.GetAncestor(window, GA_ROOT);
    // Without GetAncestor (95, NT 4.0 before SP4): up through the parents of child
    // windows. GetParent of a top-level window is its owner, so the walk stops there.
    while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) {
        HWND parent = GetParent(window);
        if (parent == nullptr) break;
        window = parent;
    }
    return window;
}

int Win32Shell::RunMessageBox(std::u16string_view prompt, int style, std::u16string_view title,
                              Form* owner) {
    HWND window = owner != nullptr ? WindowOf(*owner).Handle() : nullptr;
    // Unowned, the box is task-modal: no window of the program takes input until it is
    // answered.
    const UINT modality = window != nullptr ? MB_APPLMODAL : MB_TASKMODAL;
    return MessageBoxW(window, Wide(std::u16string(prompt)), Wide(std::u16string(title)),
                       static_cast<UINT>(style) | modality);
}

void Win32Shell::Beep() { MessageBeep(MB_OK); }

std::u16string Win32Shell::CommandLineText() {
    const std::u16string whole = system_.CommandLine();
    const std::u16string_view line(whole);
    std::size_t at = 0;
    if (!line.empty() && line[0] == u'"') {
        const std::size_t close = line.find(u'"', 1);
        at = close == std::u16string_view::npos ? line.size() : close + 1;
    } else {
        while (at < line.size() && line[at] != u' ' && line[at] != u'\t') ++at;
    }
    while (at < line.size() && (line[at] == u' ' || line[at] == u'\t')) ++at;
    return std::u16string(line.substr(at));
}

std::u16string Win32Shell::CurrentDirectory() { return system_.CurrentDirectory(); }

int Win32Shell::GetPrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                         std::u16string_view defaultValue, std::u16string& buffer,
                                         int size, std::u16string_view path) {
    if (size <= 0) return 0;
    std::string value(static_cast<std::size_t>(size), '\0');
    const DWORD copied = ::GetPrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(),
                                                    ToAnsi(defaultValue).c_str(), value.data(),
                                                    static_cast<DWORD>(size), ToAnsi(path).c_str());
    const std::u16string text = FromAnsi(std::string_view(value.data(), copied));
    WriteOverStart(buffer, size, text);
    return static_cast<int>(text.size());
}

bool Win32Shell::WritePrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                            std::u16string_view value, std::u16string_view path) {
    return ::WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(),
                                        ToAnsi(value).c_str(), ToAnsi(path).c_str()) != FALSE;
}

int Win32Shell::GetWindowsDirectoryA(std::u16string& buffer, int size) {
    return CopyDirectory(::GetWindowsDirectoryA, buffer, size);
}

int Win32Shell::GetSystemDirectoryA(std::u16string& buffer, int size) {
    return CopyDirectory(::GetSystemDirectoryA, buffer, size);
}

int Win32Shell::LaunchProgram(std::u16string_view path, int /*windowStyle*/) {
    // A normal window with the focus, the one style the launcher asks for.
    PROCESS_INFORMATION process{};
    if (!system_.StartProgram(path, process)) {
        throw DesktopError("cannot start " + common::ToUtf8(path) + ": " +
                           ErrorText(GetLastError()));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(process.dwProcessId);
}

void Win32Shell::ActivateWindow(std::u16string_view title) {
    HWND window = ::FindWindowA(nullptr, ToAnsi(title).c_str());
    if (window == nullptr) {
        throw DesktopError("no window titled \"" + common::ToUtf8(title) + "\" to activate");
    }
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    // Asking again for a window already in front is not harmless under Wine: the focus
    // it moves can fall to the desktop once this program has ended.
    if (GetForegroundWindow() == window) return;
    SetForegroundWindow(window);
    // Under Wine the window's own thread completes the activation when it handles the
    // notice it was sent; a round trip after that notice returns once it has.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &answer);
}

void Win32Shell::EndProgram() { ExitProcess(0); }

std::u16string Win32Shell::UpperCase(std::u16string_view text) { return system_.UpperCase(text); }

bool Win32Shell::AnsiCodePageHolds(std::u16string_view text) {
    // A round trip, not WideCharToMultiByte's "used default" flag: a best-fit mapping
    // (A for A-macron, say) changes the text without using the default character.
    return FromAnsi(ToAnsi(text)) == text;
}

// ---- Waiting -------------------------------------------------------------------------

WindowHandle Win32Shell::ForegroundWindow() { return HandleToLong(GetForegroundWindow()); }

bool Win32Shell::WindowShown(WindowHandle window) {
    HWND top = ToHwnd(window);
    if (!IsWindowVisible(top) || IsIconic(top)) return false;
    for (HWND child = GetWindow(top, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) return true;
    }
    return false;
}

void Win32Shell::CountUserPresses(bool on) {
    // Windows 95, 98 and ME have no low-level hooks, and no other way to hear of another
    // program's input: there no press is counted, and a dialog's first moments in front
    // alone stand between the user's choice and the key.
    if (on && keyboardHook_ == nullptr && system_.lowLevelHooks) {
        HINSTANCE self = GetModuleHandleA(nullptr);
        keyboardHook_ = SetWindowsHookExA(WH_KEYBOARD_LL, OnKeyboardInput, self, 0);
        mouseHook_ = SetWindowsHookExA(WH_MOUSE_LL, OnMouseInput, self, 0);
    } else if (!on && keyboardHook_ != nullptr) {
        UnhookWindowsHookEx(keyboardHook_);
        if (mouseHook_ != nullptr) UnhookWindowsHookEx(mouseHook_);
        keyboardHook_ = mouseHook_ = nullptr;
    }
}

int Win32Shell::UserPresses() { return userPresses; }

int Win32Shell::WindowTask(WindowHandle window) {
    DWORD process = 0;
    if (GetWindowThreadProcessId(ToHwnd(window), &process) == 0) return 0;
    return static_cast<int>(process);
}

bool Win32Shell::WaitForDesktopChange(Millis limit) {
    const Millis start = Now();
    const Millis total = std::max(limit, Millis{0});
    for (;;) {
        if (DesktopChanged()) return true;
        const Millis elapsed = Now() - start;
        if (elapsed >= total) return false;
        const DWORD timeout = TimeoutMillis((total - elapsed).count());
        if (WaitForMessages(timeout) == WAIT_TIMEOUT) continue;
        // Out-of-context WinEvents arrive with the sent messages; peeking at those alone
        // runs the callbacks and leaves the program's own queued messages where they are.
        MSG message;
        const int before = reportsArrived;
        system_.PeekAt(message, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (DesktopChanged()) return true;
        // Woken by reports that did not matter: wait on. MWMO_INPUTAVAILABLE ends the
        // next wait at once if this program's own messages came meanwhile.
        if (reportsArrived != before && system_.MsgWaitForMultipleObjectsEx != nullptr) continue;
        if ((HIWORD(GetQueueStatus(QS_ALLINPUT)) & ~QS_SENDMESSAGE) != 0) return true;
    }
}

DWORD Win32Shell::WaitForMessages(DWORD timeout) const {
    // MWMO_INPUTAVAILABLE: messages already waiting, sent ones included, end the wait at
    // once. A wait that simply runs out asks the system nothing more: an idle watcher
    // wakes several times a second.
    if (system_.MsgWaitForMultipleObjectsEx != nullptr) {
        return system_.MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    }
    // The older wait (95, NT 3.51 on) wakes only for input new since the queue was last
    // looked at, so what already waits is looked for first.
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0) return WAIT_OBJECT_0;
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout, QS_ALLINPUT);
}

bool Win32Shell::DesktopChanged() { return std::exchange(desktopChanged, false); }

bool Win32Shell::WaitForInputIdle(int task, Millis limit) {
    HANDLE process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(task));
    if (process == nullptr) return false;
    const DWORD result = ::WaitForInputIdle(process, TimeoutMillis(limit.count()));
    CloseHandle(process);
    return result == 0;
}

Millis Win32Shell::Now() {
    if (system_.GetTickCount64 != nullptr) {
        return Millis(static_cast<long long>(system_.GetTickCount64()));
    }
    return tickClock_.Extend(GetTickCount());
}

// ---- Forms toolkit -------------------------------------------------------------------

std::unique_ptr<FormWindow> Win32Shell::CreateFormWindow(Form& form, Form* owner) {
    HWND ownerWindow = owner != nullptr && owner->Loaded() ? WindowOf(*owner).Handle() : nullptr;
    FormHost& host = *this;
    return std::make_unique<Win32FormWindow>(host, form, ownerWindow, toolkit_);
}

void Win32Shell::Present(Form& form) { WindowOf(form).Present(); }

void Win32Shell::SetFormEnabled(Form& form, bool enabled) { WindowOf(form).SetEnabled(enabled); }

void Win32Shell::RunModalLoop(Form& form) {
    WindowOf(form).SetModal(true);
    MSG message;
    while (form.Loaded()) {
        if (system_.GetNext(message) == -1) return;
        Deliver(message);
    }
}

void Win32Shell::UnloadFromOutside(Form& form, int unloadMode) { RequestUnload(form, unloadMode); }

LRESULT CALLBACK Win32Shell::ToolkitProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* shell = static_cast<Win32Shell*>(
            reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shell));
    }
    auto* shell = reinterpret_cast<Win32Shell*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (shell != nullptr) {
        switch (message) {
            // The end of the session is announced to every top-level window; only this
            // one answers, so each form is asked once.
            case WM_QUERYENDSESSION:
                return shell->OnQueryEndSession();
            case WM_ENDSESSION:
                return shell->OnEndSession(wparam != FALSE);
            // The task list closes every top-level window of the process, this one
            // included; the forms answer for themselves.
            case WM_CLOSE:
                return 0;
            default:
                break;
        }
    }
    // The class was registered W or A, and the default procedure must match it.
    return IsWindowUnicode(hwnd) != FALSE ? DefWindowProcW(hwnd, message, wparam, lparam)
                                          : DefWindowProcA(hwnd, message, wparam, lparam);
}

LRESULT Win32Shell::OnQueryEndSession() { return QuerySessionEnd() ? TRUE : FALSE; }

LRESULT Win32Shell::OnEndSession(bool ending) {
    if (ending) EndSession();
    return 0;
}

}  // namespace desktop::win32
