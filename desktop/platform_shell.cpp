#include "desktop/platform_shell.h"

#include <algorithm>

namespace desktop {

FormWindow& Form::Window() {
    if (window_ == nullptr) {
        throw std::logic_error("form " + Layout().name + " is not loaded");
    }
    return *window_;
}

void PlatformShell::SendKeystrokes(std::u16string_view keys, bool wait) {
    TypeStrokes(ParseKeyString(keys), wait, 0);
}

bool PlatformShell::SendKeystrokesInto(WindowHandle target, std::u16string_view keys, bool wait) {
    return TypeStrokes(ParseKeyString(keys), wait, target);
}

bool PlatformShell::PostKeystrokes(WindowHandle target, std::u16string_view keys) {
    return PostStrokes(ParseKeyString(keys), target);
}

TitledWindow PlatformShell::FindWindowTitled(std::span<const std::u16string_view> titles,
                                             DesktopLook /*look*/) {
    for (std::size_t title = 0; title < titles.size(); ++title) {
        const WindowHandle handle = FindWindowA(titles[title]);
        if (handle > 0) return {handle, title, Now()};
    }
    return {};
}

void PlatformShell::LoadOwned(Form& form, Form* owner) {
    if (form.Loaded()) return;
    auto window = CreateFormWindow(form, owner);
    form.AttachWindow(window.get());
    windows_.push_back({&form, std::move(window)});
    loaded_.push_back(&form);
    form.Form_Load();
}

void PlatformShell::Activate(Form& form) {
    if (activeForm_ == &form) return;
    activeForm_ = &form;
    form.Form_Activate();
}

void PlatformShell::Show(Form& form) { ShowOwned(form, nullptr); }

void PlatformShell::ShowOwned(Form& form, Form* owner) {
    LoadOwned(form, owner);
    if (!form.Loaded()) return;  // Load unloaded it again
    Present(form);
    Activate(form);
}

void PlatformShell::ShowModal(Form& form, Form* owner) {
    ++modalWindowsShown_;
    Form* previous = activeForm_;
    std::vector<Form*> held = OthersThan(&form);
    if (owner != nullptr) std::erase_if(held, [&](const Form* other) { return other != owner; });
    HoldOff(held);
    ShowOwned(form, owner);
    if (form.Loaded()) RunModalLoop(form);
    Release(held);
    // Focus returns to the form that was active: for the program that is an activation.
    if (previous != nullptr && previous->Loaded()) {
        Present(*previous);
        Activate(*previous);
    }
}

int PlatformShell::ShowMessage(std::u16string_view prompt, int style, std::u16string_view title) {
    ++modalWindowsShown_;
    Form* owner = activeForm_;
    const std::vector<Form*> held = OthersThan(owner);
    HoldOff(held);
    const int answer = RunMessageBox(prompt, style, title, owner);
    Release(held);
    return answer;
}

std::vector<Form*> PlatformShell::OthersThan(const Form* form) const {
    std::vector<Form*> others = loaded_;
    std::erase(others, form);
    return others;
}

void PlatformShell::HoldOff(const std::vector<Form*>& forms) {
    for (Form* form : forms) {
        if (std::ranges::find(heldOff_, form) == heldOff_.end()) SetFormEnabled(*form, false);
        heldOff_.push_back(form);
    }
}

void PlatformShell::Release(const std::vector<Form*>& forms) {
    for (Form* form : forms) {
        auto it = std::ranges::find(heldOff_, form);
        if (it == heldOff_.end()) continue;  // unloaded meanwhile
        heldOff_.erase(it);
        if (std::ranges::find(heldOff_, form) == heldOff_.end()) SetFormEnabled(*form, true);
    }
}

bool PlatformShell::RequestUnload(Form& form, int unloadMode) {
    if (!form.Loaded()) return true;
    int cancel = 0;
    form.Form_QueryUnload(cancel, unloadMode);
    if (cancel != 0) return false;
    form.Form_Unload();
    Destroy(form);
    return true;
}

void PlatformShell::Destroy(Form& form) {
    if (activeForm_ == &form) activeForm_ = nullptr;
    std::erase(loaded_, &form);
    std::erase(heldOff_, &form);
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const LoadedWindow& w) { return w.form == &form; });
    if (it == windows_.end()) return;
    auto window = std::move(it->window);
    windows_.erase(it);
    form.AttachWindow(nullptr);
    window.reset();
}

bool PlatformShell::QuerySessionEnd() {
    const std::vector<Form*> newestFirst(loaded_.rbegin(), loaded_.rend());
    for (Form* form : newestFirst) {
        if (!form->Loaded()) continue;
        int cancel = 0;
        form->Form_QueryUnload(cancel, kUnloadSessionEnding);
        if (cancel != 0) return false;
    }
    return true;
}

void PlatformShell::EndSession() {
    const std::vector<Form*> newestFirst(loaded_.rbegin(), loaded_.rend());
    for (Form* form : newestFirst) {
        if (!form->Loaded()) continue;
        form->Form_Unload();
        Destroy(*form);
    }
}

void PlatformShell::DiscardWindows() {
    activeForm_ = nullptr;
    loaded_.clear();
    heldOff_.clear();
    windows_.clear();
}

}  // namespace desktop
