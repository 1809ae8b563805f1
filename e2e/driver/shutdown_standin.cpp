#include "e2e/driver/shutdown_standin.h"

#include <stdexcept>

#include "e2e/driver/environment.h"
#include "e2e/driver/text.h"
#include "e2e/driver/windows.h"
#include "e2e/standin/shutdown/protocol.h"

namespace e2e {

namespace {

constexpr UINT kCommandTimeoutMs = 5000;

}  // namespace

ShutdownStandIn ShutdownStandIn::Start(const std::wstring& folder, StandInOptions options) {
    const std::wstring logPath = folder + L"\\standin_shutdown.log";
    std::vector<std::wstring> args{L"/log:" + logPath};
    if (options.german) {
        args.emplace_back(L"/german");
    }
    if (options.symbols) {
        args.emplace_back(L"/symbols");
    }
    if (options.bystander) {
        args.emplace_back(L"/bystander");
    }
    Process process = Process::Start(ExePath(L"standin_shutdown.exe"), args, folder);
    HWND control = nullptr;
    const bool up = WaitUntil([&] {
        control = FindTopLevel(standin::kControlTitle, process.Pid());
        return control != nullptr || !process.Running();
    });
    if (!up || control == nullptr) {
        throw std::runtime_error("the shutdown stand-in did not come up");
    }
    ShutdownStandIn standIn(std::move(process), EventLog(logPath), options, control);
    if (options.bystander && !WaitUntil([&] { return IsForeground(standIn.Bystander()); })) {
        throw std::runtime_error("the Bystander window did not become the foreground window");
    }
    return standIn;
}

LRESULT ShutdownStandIn::Command(const std::wstring& text) const {
    COPYDATASTRUCT data{};
    data.dwData = standin::kCommandTag;
    data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.data());
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, kCommandTimeoutMs, &answer) == 0) {
        throw std::runtime_error("the shutdown stand-in did not answer: " + ToUtf8(text));
    }
    return static_cast<LRESULT>(answer);
}

std::wstring ShutdownStandIn::DialogTitle() const {
    return options_.german ? standin::kGermanTitle : standin::kEnglishTitle;
}

HWND ShutdownStandIn::Dialog() const { return FindTopLevel(DialogTitle(), process_.Pid()); }

HWND ShutdownStandIn::WaitForActiveDialog(Millis timeout) const {
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            dialog = FindTopLevel(DialogTitle(), process_.Pid(), true);
            return IsForeground(dialog);
        },
        timeout);
    return IsForeground(dialog) ? dialog : nullptr;
}

bool ShutdownStandIn::StealAfter(Millis hold) const {
    const size_t stealsBefore = log_.Lines("steal").size();
    return Command(L"steal delay=" + std::to_wstring(hold.count())) == 1 &&
           WaitUntil([&] { return log_.Lines("steal").size() > stealsBefore; },
                     hold + kDefaultTimeout);
}

bool ShutdownStandIn::WaitForSelection(int index, Millis timeout) const {
    // The log's latest word on the open dialog: "create" gives the first selection,
    // each "selection" a change, and "close" ends it.
    const auto current = [this] {
        int selection = -1;
        for (const auto& line : log_.Lines()) {
            if (line.event == "create") {
                selection = std::stoi(line.Field("selection"));
            } else if (line.event == "selection") {
                selection = std::stoi(line.Field("index"));
            } else if (line.event == "close") {
                selection = -1;
            }
        }
        return selection;
    };
    return WaitUntil([&] { return current() == index; }, timeout);
}

HWND ShutdownStandIn::Bystander() const {
    return FindTopLevel(standin::kBystanderTitle, process_.Pid(), true);
}

HWND ShutdownStandIn::Thief() const {
    return FindTopLevel(standin::kThiefTitle, process_.Pid(), true);
}

}  // namespace e2e
