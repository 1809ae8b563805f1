#include "desktop/sim/simulated_desktop.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "common/text.h"
#include "desktop/form_rules.h"
#include "desktop/sim/ansi_codepage.h"
#include "desktop/sim/case_rules.h"
#include "desktop/sim/profile_file.h"

namespace desktop::sim {

namespace {

bool SameText(std::u16string_view a, std::u16string_view b) { return UpperCase(a) == UpperCase(b); }

// Windows file names ignore case: the entry of `folder` that matches `name` so, or
// `name` itself when there is none.
std::string ExistingName(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    const auto wanted = UpperCase(common::FromUtf8(name));
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        auto candidate = entry.path().filename().string();
        if (UpperCase(common::FromUtf8(candidate)) == wanted) return candidate;
    }
    return name;
}

[[noreturn]] void ScriptFault(const std::string& what) {
    throw std::logic_error("simulated desktop script: " + what);
}

}  // namespace

// A form's window: its properties in memory.
class SimulatedDesktop::SimFormWindow : public FormWindow {
  public:
    SimFormWindow(SimulatedDesktop& desktop, Form& form, WindowHandle handle)
        : desktop_(desktop),
          form_(form),
          layout_(form.Layout()),
          name_(layout_.name),
          handle_(handle),
          tabStops_(TabStops(layout_)) {
        for (const auto& c : layout_.controls) texts_[c.name] = c.content;
        caption_ = form.Layout().caption;
        desktop_.forms_.push_back(this);
    }
    ~SimFormWindow() override {
        std::erase(desktop_.forms_, this);
        desktop_.HandFrontOn(handle_);
    }

    void SetCaption(std::u16string_view caption) override { caption_ = caption; }
    std::u16string Caption() const override { return caption_; }
    void SetVisible(bool visible) override {
        visible_ = visible;
        if (!visible) desktop_.HandFrontOn(handle_);
    }
    bool Visible() const override { return visible_; }
    void Minimise() override { minimised_ = true; }
    bool Minimised() const override { return minimised_; }

    void SetText(std::string_view control, std::u16string_view text) override {
        const ControlLayout& layout = ControlNamed(layout_, control);
        auto& current = texts_[layout.name];
        if (current == text) return;  // assigning the same text raises nothing
        current = text;
        if (layout.kind == ControlKind::TextBox) form_.OnChange(layout.name);
    }
    std::u16string Text(std::string_view control) const override {
        return texts_.at(ControlNamed(layout_, control).name);
    }
    void SetValue(std::string_view control, int value) override {
        values_[ControlNamed(layout_, control).name] = value;
    }
    int Value(std::string_view control) const override {
        auto it = values_.find(ControlNamed(layout_, control).name);
        return it == values_.end() ? 0 : it->second;
    }

    // The user typing one character at the end of a text box.
    void Type(std::string_view control, char16_t c) {
        const ControlLayout& layout = ControlNamed(layout_, control);
        auto text = texts_[layout.name];
        if (layout.maxLength > 0 && static_cast<int>(text.size()) >= layout.maxLength) return;
        SetText(control, text + c);
    }
    void Tab() {
        if (!tabStops_.empty()) focus_ = (focus_ + 1) % tabStops_.size();
    }
    // The control with the focus: at first the first tab stop; none without any.
    std::string_view Focused() const {
        return tabStops_.empty() ? std::string_view() : tabStops_[focus_]->name;
    }

    Form& TheForm() const { return form_; }
    // Kept apart from the form, which may be gone once the program has ended.
    const std::string& Name() const { return name_; }
    WindowHandle Handle() const { return handle_; }
    bool enabled = true;

  private:
    SimulatedDesktop& desktop_;
    Form& form_;
    const FormLayout& layout_;  // forms keep their layout in static data
    std::string name_;
    WindowHandle handle_;
    std::u16string caption_;
    bool visible_ = false;
    bool minimised_ = false;
    std::map<std::string, std::u16string, std::less<>> texts_;
    std::map<std::string, int, std::less<>> values_;
    std::vector<const ControlLayout*> tabStops_;
    std::size_t focus_ = 0;
};

// ---- Steps ------------------------------------------------------------------------

Step OpenWindow(const std::u16string& title, bool takeFocus, int task) {
    return {"open \"" + common::ToUtf8(title) + "\"",
            [=](SimulatedDesktop& d) { d.Open(title, takeFocus, task); }};
}

Step OpenHiddenWindow(const std::u16string& title, bool takeFocus) {
    return {"open \"" + common::ToUtf8(title) + "\" hidden",
            [=](SimulatedDesktop& d) { d.Open(title, takeFocus, 0, Look::Hidden); }};
}

Step ShowWindow(const std::u16string& title, bool takeFocus) {
    return {"show \"" + common::ToUtf8(title) + "\"",
            [=](SimulatedDesktop& d) { d.Reveal(title, takeFocus); }};
}

Step CloseWindow(const std::u16string& title) {
    return {"close \"" + common::ToUtf8(title) + "\"",
            [=](SimulatedDesktop& d) { d.Close(title); }};
}

Step FocusWindow(const std::u16string& title) {
    return {"focus \"" + common::ToUtf8(title) + "\"",
            [=](SimulatedDesktop& d) { d.Focus(title); }};
}

Step RenameWindow(const std::u16string& from, const std::u16string& to) {
    return {"rename \"" + common::ToUtf8(from) + "\" to \"" + common::ToUtf8(to) + "\"",
            [=](SimulatedDesktop& d) { d.Rename(from, to); }};
}

Step ClickWindow(const std::u16string& title) {
    return {"the user clicks \"" + common::ToUtf8(title) + "\"", [=](SimulatedDesktop& d) {
                d.UserInput();
                d.Focus(title);
            }};
}

Step Click(const std::string& form, const std::string& control) {
    return {"click " + form + "." + control, [=](SimulatedDesktop& d) {
                d.UserAction(form, [control](Form& f) { f.OnClick(control); });
            }};
}

namespace {

// The user typing into a text box, one character at a time, after selecting what it
// held when `replace` is set.
Step Typing(const std::string& form, const std::string& control, const std::u16string& text,
            bool replace) {
    return {std::string(replace ? "replace the text of " : "type into ") + form + "." + control +
                ": \"" + common::ToUtf8(text) + "\"",
            [=](SimulatedDesktop& d) { d.TypeInto(form, control, text, replace); }};
}

}  // namespace

Step TypeText(const std::string& form, const std::string& control, const std::u16string& text) {
    return Typing(form, control, text, false);
}

Step ReplaceText(const std::string& form, const std::string& control, const std::u16string& text) {
    return Typing(form, control, text, true);
}

Step PressEnter(const std::string& form) {
    return {"Enter on " + form, [=](SimulatedDesktop& d) {
                d.UserAction(form, [](Form& f) {
                    if (const auto* button = DefaultButton(f.Layout())) f.OnClick(button->name);
                });
            }};
}

Step PressEscape(const std::string& form) {
    return {"Esc on " + form, [=](SimulatedDesktop& d) {
                d.UserAction(form, [](Form& f) {
                    if (const auto* button = CancelButton(f.Layout())) f.OnClick(button->name);
                });
            }};
}

Step PressTab(const std::string& form) {
    return {"Tab on " + form, [=](SimulatedDesktop& d) {
                d.UserAction(form, [&d, form](Form&) { d.FindForm(form)->Tab(); });
            }};
}

Step SetCheck(const std::string& form, const std::string& control, int value) {
    return {
        "set " + form + "." + control + " to " + std::to_string(value), [=](SimulatedDesktop& d) {
            d.UserAction(form, [control, value](Form& f) { f.Window().SetValue(control, value); });
        }};
}

Step CloseBox(const std::string& form) {
    return {"close box of " + form, [=](SimulatedDesktop& d) {
                d.UserAction(form, [&d](Form& f) { d.RequestUnload(f, kUnloadControlMenu); });
            }};
}

Step TaskListClose(const std::string& form) {
    // The task list closes a window even while it is disabled by a modal one.
    return {"task list closes " + form, [=](SimulatedDesktop& d) {
                d.Post([&d, form] {
                    if (Form* f = d.FormNamed(form)) d.RequestUnload(*f, kUnloadTaskList);
                });
            }};
}

Step EndSession() {
    return {"end of the Windows session", [](SimulatedDesktop& d) {
                d.Post([&d] {
                    if (d.QuerySessionEnd()) d.PlatformShell::EndSession();
                });
            }};
}

Step Answer(int button) {
    return {"answer " + std::to_string(button), [button](SimulatedDesktop& d) {
                if (d.boxOwners_.empty()) ScriptFault("an answer, but no message box is up");
                // Clicking one of its buttons brings the box to the front first.
                d.UserInput();
                d.TakeFront(d.messageBox_);
                d.messageAnswer_ = button;
            }};
}

Step Idle(Millis duration) {
    return Step{"idle", [](SimulatedDesktop&) {}}.After(duration);
}

// ---- Set-up and script ----------------------------------------------------------------

SimulatedDesktop::SimulatedDesktop() = default;
SimulatedDesktop::~SimulatedDesktop() { DiscardWindows(); }

void SimulatedDesktop::MapFolder(std::u16string windowsFolder, std::filesystem::path hostFolder) {
    while (!windowsFolder.empty() && windowsFolder.back() == u'\\') windowsFolder.pop_back();
    folders_.emplace_back(std::move(windowsFolder), std::move(hostFolder));
}

std::filesystem::path SimulatedDesktop::HostPath(std::u16string_view windowsPath) const {
    for (const auto& [folder, host] : folders_) {
        if (windowsPath.size() <= folder.size() || windowsPath[folder.size()] != u'\\') continue;
        if (!SameText(windowsPath.substr(0, folder.size()), folder)) continue;
        std::filesystem::path result = host;
        std::u16string rest(windowsPath.substr(folder.size() + 1));
        std::u16string part;
        for (char16_t c : rest + u'\\') {
            if (c != u'\\') {
                part += c;
                continue;
            }
            // A doubled separator names the same folder, as Windows reads it.
            if (!part.empty()) result /= ExistingName(result, common::ToUtf8(part));
            part.clear();
        }
        return result;
    }
    return {};
}

void SimulatedDesktop::AddProgram(const std::u16string& path,
                                  std::function<void(SimulatedDesktop&, int)> onLaunch) {
    programs_[UpperCase(path)] = std::move(onLaunch);
}

void SimulatedDesktop::OnKeys(std::u16string title,
                              std::function<void(SimulatedDesktop&, const KeySequence&)> reaction) {
    keyReactions_.emplace_back(std::move(title), std::move(reaction));
}

SimulatedDesktop& SimulatedDesktop::Then(Step step) {
    script_.push_back(std::move(step));
    return *this;
}

void SimulatedDesktop::Insert(Step step) {
    script_.insert(script_.begin() + static_cast<std::ptrdiff_t>(nextStep_), std::move(step));
}

bool SimulatedDesktop::Run(const std::function<void()>& program) {
    try {
        program();
    } catch (const ProgramEnded& ended) {
        return !ended.byScript;
    }
    return false;
}

void SimulatedDesktop::AdvanceScript() {
    if (nextStep_ >= script_.size()) throw ProgramEnded{true};
    Step& step = script_[nextStep_++];
    now_ += step.delay;
    step.delay = Millis{0};
    stepUnreported_ = step.unreported;
    step.apply(*this);
    stepUnreported_ = false;
}

// ---- Other programs' windows ------------------------------------------------------------

WindowHandle SimulatedDesktop::Open(std::u16string title, bool takeFocus, int task, Look look) {
    const WindowHandle handle = nextHandle_++;
    // Every window belongs to a program: one of its own unless it is said whose.
    windows_.push_back({handle, std::move(title), task == 0 ? nextTask_++ : task, look});
    Notify(DesktopChange::Created, handle);
    if (look != Look::Hidden) Notify(DesktopChange::Shown, handle);
    if (takeFocus) TakeFront(handle);
    return handle;
}

void SimulatedDesktop::Notify(DesktopChange change, WindowHandle window) {
    if (stepUnreported_ || Ours(window)) return;
    if (!reportsAll_ && change != DesktopChange::Created) return;
    if (search_.Reported(change, window, Now())) woke_ = true;
}

void SimulatedDesktop::TakeFront(WindowHandle window) {
    if (foreground_ != 0 && foreground_ != window) focusHistory_.push_back(foreground_);
    if (foreground_ != window) Notify(DesktopChange::Foreground, window);
    foreground_ = window;
    // The window in front is on top: the title search finds it before its namesakes.
    const auto it = std::ranges::find(windows_, window, &Window::handle);
    if (it != windows_.end()) std::rotate(it, it + 1, windows_.end());
}

bool SimulatedDesktop::CanHaveFront(WindowHandle window) const {
    if (window == messageBox_ && window != 0) return true;
    for (const auto& w : windows_) {
        if (w.handle == window) return w.look != Look::Hidden;
    }
    for (const auto* f : forms_) {
        if (f->Handle() == window) return f->Visible();
    }
    return false;
}

void SimulatedDesktop::HandFrontOn(WindowHandle window) {
    if (foreground_ != window) return;
    foreground_ = 0;
    while (!focusHistory_.empty() && foreground_ == 0) {
        const WindowHandle previous = focusHistory_.back();
        focusHistory_.pop_back();
        if (previous != window && CanHaveFront(previous)) foreground_ = previous;
    }
    if (foreground_ != 0) Notify(DesktopChange::Foreground, foreground_);
}

void SimulatedDesktop::Close(std::u16string_view title) {
    const auto* w = WindowTitled(title);
    if (w == nullptr) ScriptFault("no window \"" + common::ToUtf8(title) + "\" to close");
    Close(w->handle);
}

void SimulatedDesktop::Close(WindowHandle window) {
    Notify(DesktopChange::Destroyed, window);
    std::erase_if(windows_, [&](const Window& w) { return w.handle == window; });
    HandFrontOn(window);
    std::erase(focusHistory_, window);
}

void SimulatedDesktop::Rename(std::u16string_view from, std::u16string to) {
    for (auto& w : windows_) {
        if (SameText(w.title, from)) {
            w.title = std::move(to);
            Notify(DesktopChange::Renamed, w.handle);
            return;
        }
    }
    ScriptFault("no window \"" + common::ToUtf8(from) + "\" to rename");
}

void SimulatedDesktop::Rename(WindowHandle window, std::u16string to) {
    for (auto& w : windows_) {
        if (w.handle == window) {
            w.title = std::move(to);
            Notify(DesktopChange::Renamed, window);
            return;
        }
    }
    ScriptFault("no window #" + std::to_string(window) + " to rename");
}

void SimulatedDesktop::Focus(std::u16string_view title) {
    const auto* w = WindowTitled(title);
    if (w == nullptr) ScriptFault("no window \"" + common::ToUtf8(title) + "\" to focus");
    TakeFront(w->handle);
}

void SimulatedDesktop::Reveal(std::u16string_view title, bool takeFocus) {
    for (auto& w : windows_) {
        if (!SameText(w.title, title)) continue;
        const bool wasHidden = w.look == Look::Hidden;
        w.look = Look::Shown;
        if (wasHidden) Notify(DesktopChange::Shown, w.handle);
        if (takeFocus) TakeFront(w.handle);
        return;
    }
    ScriptFault("no window \"" + common::ToUtf8(title) + "\" to show");
}

bool SimulatedDesktop::WindowShown(WindowHandle window) {
    for (const auto& w : windows_) {
        if (w.handle == window) return w.look == Look::Shown;
    }
    for (const auto* f : forms_) {
        if (f->Handle() == window) {
            return f->Visible() && !f->Minimised() && !f->TheForm().Layout().controls.empty();
        }
    }
    return false;
}

const SimulatedDesktop::Window* SimulatedDesktop::WindowTitled(std::u16string_view title) const {
    const auto it = std::find_if(windows_.rbegin(), windows_.rend(),
                                 [&](const Window& w) { return SameText(w.title, title); });
    return it == windows_.rend() ? nullptr : &*it;
}

std::u16string SimulatedDesktop::TitleOf(WindowHandle handle) const {
    for (const auto& w : windows_) {
        if (w.handle == handle) return w.title;
    }
    for (const auto* f : forms_) {
        if (f->Handle() == handle) return common::FromUtf8(f->Name());
    }
    if (handle == messageBox_ && handle != 0) return messageBoxTitle_;
    return {};
}

std::u16string SimulatedDesktop::ForegroundTitle() const { return TitleOf(foreground_); }

// ---- The program's forms ------------------------------------------------------------------

SimulatedDesktop::SimFormWindow* SimulatedDesktop::FindForm(std::string_view name) const {
    for (auto* f : forms_) {
        if (f->Name() == name) return f;
    }
    return nullptr;
}

Form* SimulatedDesktop::FormNamed(std::string_view name) const {
    auto* window = FindForm(name);
    return window == nullptr ? nullptr : &window->TheForm();
}

const FormWindow* SimulatedDesktop::FormByName(std::string_view name) const {
    return FindForm(name);
}

WindowHandle SimulatedDesktop::FormHandle(std::string_view name) const {
    const auto* window = FindForm(name);
    return window == nullptr ? 0 : window->Handle();
}

bool SimulatedDesktop::FormEnabled(std::string_view name) const {
    auto* window = FindForm(name);
    return window != nullptr && window->enabled &&
           std::ranges::find(boxOwners_, name) == boxOwners_.end();
}

std::string_view SimulatedDesktop::FocusedControl(std::string_view form) const {
    auto* window = FindForm(form);
    return window != nullptr ? window->Focused() : std::string_view();
}

void SimulatedDesktop::UserAction(const std::string& formName, std::function<void(Form&)> action) {
    UserInput();
    // The user can only reach a form that is on screen and not held off by a modal one.
    Post([this, formName, action = std::move(action)] {
        auto* window = FindForm(formName);
        if (window == nullptr || !window->Visible() || !FormEnabled(formName)) return;
        TakeFront(window->Handle());  // what the user clicks comes to the front
        action(window->TheForm());
    });
}

void SimulatedDesktop::TypeInto(const std::string& form, const std::string& control,
                                const std::u16string& text, bool replace) {
    UserAction(form, [this, form, control, text, replace](Form& f) {
        bool overSelection = replace;
        for (char16_t c : text) {
            auto* window = FindForm(form);
            if (window == nullptr) return;  // a Change handler closed the form
            // A character typed over the selected text replaces it in one change.
            if (std::exchange(overSelection, false)) {
                f.Window().SetText(control, std::u16string(1, c));
            } else {
                window->Type(control, c);
            }
        }
        if (overSelection) f.Window().SetText(control, u"");  // nothing typed: deleted
    });
}

std::unique_ptr<FormWindow> SimulatedDesktop::CreateFormWindow(Form& form, Form* /*owner*/) {
    return std::make_unique<SimFormWindow>(*this, form, nextHandle_++);
}

void SimulatedDesktop::Present(Form& form) {
    auto* window = FindForm(form.Layout().name);
    if (window == nullptr) return;
    window->SetVisible(true);
    TakeFront(window->Handle());
}

void SimulatedDesktop::SetFormEnabled(Form& form, bool enabled) {
    if (auto* window = FindForm(form.Layout().name)) window->enabled = enabled;
}

void SimulatedDesktop::RunModalLoop(Form& form) {
    while (true) {
        PumpEvents();
        if (!form.Loaded()) return;
        AdvanceScript();
    }
}

// ---- PlatformShell --------------------------------------------------------------------------

WindowHandle SimulatedDesktop::FindWindowA(std::u16string_view title) {
    // Titles cross the ANSI code page on the way in, as with the real call.
    const auto ansi = FromAnsi(ToAnsi(title));
    const auto* w = WindowTitled(ansi);
    return w == nullptr ? 0 : w->handle;
}

TitledWindow SimulatedDesktop::FindWindowTitled(std::span<const std::u16string_view> titles,
                                                DesktopLook look) {
    return search_.Find(titles, look, Now());
}

std::vector<WindowHandle> SimulatedDesktop::TopLevelWindows() {
    std::vector<WindowHandle> topmostFirst;
    for (const auto& w : windows_) topmostFirst.push_back(w.handle);
    std::reverse(topmostFirst.begin(), topmostFirst.end());
    windowVisits_ += static_cast<int>(topmostFirst.size());
    return topmostFirst;
}

std::optional<std::u16string> SimulatedDesktop::FoldedTitle(WindowHandle window,
                                                            std::size_t longest) {
    ++windowVisits_;
    // Titles read as the system holds them, in UTF-16: no code page on the way.
    const auto w = std::ranges::find(windows_, window, &Window::handle);
    if (w == windows_.end()) return std::nullopt;
    return UpperCase(std::u16string_view(w->title).substr(0, longest));
}

bool SimulatedDesktop::Visible(WindowHandle window) {
    const auto w = std::ranges::find(windows_, window, &Window::handle);
    return w != windows_.end() && w->look != Look::Hidden;
}

bool SimulatedDesktop::Ours(WindowHandle window) {
    return std::ranges::find(windows_, window, &Window::handle) == windows_.end();
}

void SimulatedDesktop::PumpEvents() {
    // Events posted by the handlers run now stay for the next pump, as in a real queue.
    auto events = std::move(pending_);
    pending_.clear();
    for (auto& event : events) event();
}

int SimulatedDesktop::RunMessageBox(std::u16string_view prompt, int style,
                                    std::u16string_view title, Form* owner) {
    messages_.push_back({std::u16string(prompt), style, std::u16string(title), 0});
    const std::size_t index = messages_.size() - 1;
    boxOwners_.push_back(owner != nullptr ? owner->Layout().name : "");
    messageAnswer_.reset();
    // The box is a window of its own in front; when it goes, the front goes back to the
    // window that had it (its owner, the active form).
    const SimFormWindow* ownerForm = owner != nullptr ? FindForm(owner->Layout().name) : nullptr;
    const WindowHandle ownerWindow = ownerForm != nullptr ? ownerForm->Handle() : 0;
    const WindowHandle outerBox = std::exchange(messageBox_, nextHandle_++);
    const std::u16string outerTitle = std::exchange(messageBoxTitle_, std::u16string(title));
    TakeFront(messageBox_);
    auto closeBox = [&] {
        boxOwners_.pop_back();
        const WindowHandle box = std::exchange(messageBox_, outerBox);
        messageBoxTitle_ = outerTitle;
        if (foreground_ == box && ownerWindow != 0 && CanHaveFront(ownerWindow)) {
            foreground_ = ownerWindow;  // MessageBox activates its owner as it closes
        }
        HandFrontOn(box);
        std::erase(focusHistory_, box);
    };
    // The box runs its own loop: the program's events still arrive (a session end, say),
    // and the desktop goes on until the user answers.
    try {
        while (!messageAnswer_) {
            PumpEvents();
            if (messageAnswer_) break;
            AdvanceScript();
        }
    } catch (...) {
        closeBox();
        throw;
    }
    closeBox();
    const int answer = *messageAnswer_;
    messageAnswer_.reset();
    const bool fits = style == kStyleQuestionYesNo ? answer == kAnswerYes || answer == kAnswerNo
                                                   : answer == kAnswerOk;
    if (!fits) ScriptFault("answer " + std::to_string(answer) + " does not fit the box shown");
    messages_[index].answer = answer;
    return answer;
}

std::u16string SimulatedDesktop::UpperCase(std::u16string_view text) {
    return sim::UpperCase(text);
}

bool SimulatedDesktop::AnsiCodePageHolds(std::u16string_view text) {
    return FromAnsi(ToAnsi(text)) == text;
}

int SimulatedDesktop::GetPrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                               std::u16string_view defaultValue,
                                               std::u16string& buffer, int size,
                                               std::u16string_view path) {
    if (size <= 0) return 0;
    std::optional<std::string> value;
    const auto file = HostPath(path);
    if (!file.empty()) value = ReadProfileValue(file, ToAnsi(section), ToAnsi(key));
    std::string bytes = value ? *value : ToAnsi(defaultValue);
    // The default loses its trailing spaces, as the system strips them.
    if (!value) bytes.erase(bytes.find_last_not_of(' ') + 1);
    // The value is cut to size - 1 bytes of the ANSI code page, then a NUL.
    if (bytes.size() > static_cast<std::size_t>(size - 1)) bytes.resize(size - 1);
    const auto text = FromAnsi(bytes);
    if (buffer.size() < static_cast<std::size_t>(size)) buffer.resize(size, u'\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    buffer[text.size()] = u'\0';
    return static_cast<int>(text.size());
}

bool SimulatedDesktop::WritePrivateProfileStringA(std::u16string_view section,
                                                  std::u16string_view key,
                                                  std::u16string_view value,
                                                  std::u16string_view path) {
    const auto file = HostPath(path);
    if (file.empty()) return false;
    return WriteProfileValue(file, ToAnsi(section), ToAnsi(key), ToAnsi(value));
}

namespace {

// A directory as the system's A functions give it: through the ANSI code page, into a
// fixed buffer, or only the size needed when it does not fit.
int CopyDirectory(const std::u16string& directory, std::u16string& buffer, int size) {
    const auto text = FromAnsi(ToAnsi(directory));
    if (size <= static_cast<int>(text.size())) return static_cast<int>(text.size()) + 1;
    if (buffer.size() < static_cast<std::size_t>(size)) buffer.resize(size, u'\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    buffer[text.size()] = u'\0';
    return static_cast<int>(text.size());
}

}  // namespace

int SimulatedDesktop::GetWindowsDirectoryA(std::u16string& buffer, int size) {
    return CopyDirectory(windowsDirectory_, buffer, size);
}

int SimulatedDesktop::GetSystemDirectoryA(std::u16string& buffer, int size) {
    return CopyDirectory(systemDirectory_, buffer, size);
}

Millis SimulatedDesktop::Now() {
    if (!tickStart_) return now_;
    const auto ticks =
        static_cast<std::uint64_t>(*tickStart_) + static_cast<std::uint64_t>(now_.count());
    return tickClock_.Extend(static_cast<std::uint32_t>(ticks));
}

int SimulatedDesktop::LaunchProgram(std::u16string_view path, int /*windowStyle*/) {
    auto it = programs_.find(UpperCase(path));
    if (it == programs_.end()) {
        throw DesktopError("cannot start " + common::ToUtf8(path) + ": file not found");
    }
    launches_.emplace_back(path);
    const int task = nextTask_++;
    it->second(*this, task);
    return task;
}

void SimulatedDesktop::ActivateWindow(std::u16string_view title) {
    const auto* w = WindowTitled(title);
    if (w == nullptr) throw DesktopError("no window titled " + common::ToUtf8(title));
    activations_.emplace_back(w->title);
    Focus(w->title);
}

void SimulatedDesktop::EndProgram() {
    endedItself_ = true;
    throw ProgramEnded{false};
}

int SimulatedDesktop::WindowTask(WindowHandle window) {
    for (const auto& w : windows_) {
        if (w.handle == window) return w.task;
    }
    return 0;
}

bool SimulatedDesktop::WaitForDesktopChange(Millis limit) {
    ++waits_;
    if (!pending_.empty()) return true;
    for (Millis left = limit;;) {
        if (nextStep_ >= script_.size()) throw ProgramEnded{true};
        Step& step = script_[nextStep_];
        if (step.delay > left) {
            now_ += left;
            step.delay -= left;
            return false;
        }
        left -= step.delay;
        woke_ = false;
        AdvanceScript();
        if (woke_ || !pending_.empty()) return true;
    }
}

bool SimulatedDesktop::WaitForInputIdle(int task, Millis limit) {
    const Millis deadline = now_ + limit;
    auto hasWindow = [&] {
        return std::any_of(windows_.begin(), windows_.end(),
                           [&](const Window& w) { return w.task == task; });
    };
    while (!hasWindow()) {
        if (now_ >= deadline) return false;
        WaitForDesktopChange(deadline - now_);
    }
    return true;
}

bool SimulatedDesktop::TypeStrokes(const KeySequence& strokes, bool /*wait*/,
                                   WindowHandle onlyInto) {
    // Typing takes no time here, so the focus cannot move between strokes.
    if (onlyInto != 0 && foreground_ != onlyInto) return false;
    const auto target = TitleOf(foreground_);
    Receive(target.empty() ? u"(no window)" : target, strokes);
    return true;
}

bool SimulatedDesktop::PostStrokes(const KeySequence& strokes, WindowHandle target) {
    const auto title = TitleOf(target);
    if (title.empty()) return false;
    Receive(title, strokes);
    return true;
}

void SimulatedDesktop::Receive(const std::u16string& target, const KeySequence& strokes) {
    typed_.push_back({target, DescribeStrokes(strokes), now_});
    for (auto& [title, reaction] : keyReactions_) {
        if (SameText(title, target)) reaction(*this, strokes);
    }
}

std::u16string SimulatedDesktop::KeysReceivedBy(std::u16string_view window) const {
    std::u16string keys;
    for (const auto& t : typed_) {
        if (SameText(t.window, window)) keys += t.keys;
    }
    return keys;
}

std::string SimulatedDesktop::Describe() const {
    std::ostringstream out;
    out << "clock " << now_.count() << " ms; step " << nextStep_ << " of " << script_.size()
        << "\n";
    for (std::size_t i = 0; i < script_.size(); ++i) {
        out << (i < nextStep_ ? "  done: " : "  todo: ") << script_[i].description << "\n";
    }
    out << "windows:";
    for (const auto& w : windows_) {
        out << " \"" << common::ToUtf8(w.title) << "\"#" << w.handle
            << (w.look == Look::Hidden      ? " (hidden)"
                : w.look == Look::Bare      ? " (no controls yet)"
                : w.look == Look::Minimised ? " (minimised)"
                                            : "");
    }
    out << "\nforeground: \"" << common::ToUtf8(TitleOf(foreground_)) << "\"\nforms:";
    for (const auto* f : forms_) {
        out << " " << f->Name() << (f->Visible() ? "" : " (hidden)")
            << (FormEnabled(f->Name()) ? "" : " (disabled)") << " caption \""
            << common::ToUtf8(f->Caption()) << "\" focus " << f->Focused();
    }
    out << "\nmessages:";
    for (const auto& m : messages_) {
        out << " [" << common::ToUtf8(m.title) << ": " << common::ToUtf8(m.prompt) << " -> "
            << m.answer << "]";
    }
    out << "\nkeys:";
    for (const auto& t : typed_) {
        out << " " << common::ToUtf8(t.window) << "<-" << common::ToUtf8(t.keys) << "@"
            << t.at.count();
    }
    out << "\nbeeps " << beeps_ << ", waits " << waits_ << ", user presses counted " << userPresses_
        << (countingPresses_ ? " (counting)" : "") << (endedItself_ ? ", ended itself" : "")
        << "\n";
    return out.str();
}

}  // namespace desktop::sim
