// The PlatformShell contract on the simulated desktop; the same suite runs on the real
// one under Wine (e2e/tests/shell_contract_test.cpp).
#include "shell_contract.h"

#include "sim_fixture.h"

namespace shell_contract {
namespace {

namespace sim = desktop::sim;

class SimulatedDriver {
  public:
    SimulatedDriver() { desktop_.MapFolder(ProfileFolder(), folder_.Path()); }
    desktop::PlatformShell& Shell() { return desktop_; }

    WindowHandle Open(std::u16string title, Look look) {
        constexpr sim::Look kLooks[] = {sim::Look::Shown, sim::Look::Hidden, sim::Look::Bare,
                                        sim::Look::Minimised};
        const bool takesFront = look == Look::Shown || look == Look::Bare;
        return desktop_.Open(std::move(title), takesFront, 0, kLooks[static_cast<int>(look)]);
    }
    void Close(WindowHandle window) { desktop_.Close(window); }
    void ToFront(WindowHandle window) { desktop_.Focus(window); }
    void Rename(WindowHandle window, std::u16string title) {
        desktop_.Rename(window, std::move(title));
    }

    static std::u16string ProfileFolder() { return u"C:\\CONTRACT"; }
    void WriteFile(std::u16string_view path, std::string_view bytes) {
        testing_support::WriteFile(desktop_.HostPath(path), std::string(bytes));
    }
    std::string ReadFile(std::u16string_view path) {
        return testing_support::ReadFile(desktop_.HostPath(path));
    }

    // The simulated user's presses reach whatever is in front at once; a mouse move is
    // nothing to this desktop.
    void PressKey(WindowHandle /*front*/) { desktop_.UserInput(); }
    void ClickMouse(WindowHandle /*front*/) { desktop_.UserInput(); }
    void MoveMouse(WindowHandle /*front*/) {}

    void AnswerWhenUp(std::u16string_view /*boxTitle*/, int answer) {
        desktop_.Then(sim::Answer(answer));
    }
    void CloseWhenUp(desktop::Form& form) { desktop_.Then(sim::CloseBox(form.Layout().name)); }
    WindowHandle FormHandle(desktop::Form& form) { return desktop_.FormHandle(form.Layout().name); }
    bool Eventually(const std::function<bool()>& condition) {
        desktop_.PumpEvents();
        return condition();
    }

  private:
    testing_support::TempFolder folder_;
    sim::SimulatedDesktop desktop_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ShellContract, SimulatedDriver);

}  // namespace shell_contract
