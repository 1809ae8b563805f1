// The forms toolkit's events on the simulated desktop: Change, QueryUnload/Unload with
// their modes, forms held off by a modal one, and the keys a layout decides. Load and
// Activate, and the front coming back from a modal form or a message box, are the
// contract's (shell_contract.h), run on both desktops.
#include <gtest/gtest.h>

#include "desktop/sim/simulated_desktop.h"

namespace {

using namespace std::chrono_literals;
namespace sim = desktop::sim;
using desktop::ControlKind;

// A form that writes down every event it gets.
class LoggingForm : public desktop::Form {
  public:
    LoggingForm(desktop::PlatformShell& shell, std::string name, std::vector<std::string>& log)
        : Form(shell), log_(log) {
        layout_.name = std::move(name);
        layout_.controls = {
            {.name = "lbl", .kind = ControlKind::Label, .content = u"&Text:"},
            {.name = "txt", .kind = ControlKind::TextBox, .content = u"?", .maxLength = 3},
            {.name = "cmdOk", .kind = ControlKind::Button, .content = u"&OK", .isDefault = true},
            {.name = "cmdNo", .kind = ControlKind::Button, .content = u"&No", .isCancel = true},
        };
    }
    const desktop::FormLayout& Layout() const override { return layout_; }
    void SetTabOrder(std::vector<std::string> names) { layout_.tabOrder = std::move(names); }
    void Form_Load() override { Log("Load"); }
    void Form_Activate() override { Log("Activate"); }
    void Form_QueryUnload(int& cancel, int mode) override {
        Log("QueryUnload " + std::to_string(mode));
        cancel = cancelNext;
        cancelNext = 0;
    }
    void Form_Unload() override { Log("Unload"); }
    void OnClick(std::string_view control) override {
        Log("Click " + std::string(control));
        if (onClick) onClick(control);
    }
    void OnChange(std::string_view control) override {
        Log("Change " + std::string(control));
        if (upperCase) Window().SetText(control, std::u16string(1, u'X'));
    }

    int cancelNext = 0;
    bool upperCase = false;
    std::function<void(std::string_view)> onClick;

  private:
    void Log(const std::string& event) { log_.push_back(layout_.name + " " + event); }
    desktop::FormLayout layout_;
    std::vector<std::string>& log_;
};

using Log = std::vector<std::string>;

class FormEventsTest : public ::testing::Test {
  protected:
    sim::SimulatedDesktop desktop;
    Log log;
    LoggingForm main{desktop, "main", log};
    LoggingForm dialog{desktop, "dialog", log};
};

TEST_F(FormEventsTest, ModalDialogAndItsMessageBoxHoldOffTheOtherForms) {
    using Enabled = std::vector<bool>;  // main, dialog
    std::vector<Enabled> seen;
    const sim::Step look{"look", [&](auto& d) {
                             seen.push_back({d.FormEnabled("main"), d.FormEnabled("dialog")});
                         }};
    desktop.Show(main);
    desktop.Then(look)
        .Then(sim::Click("dialog", "cmdNo"))
        .Then(look)
        .Then(sim::Answer(desktop::kAnswerOk))
        .Then(look)
        .Then(sim::Click("dialog", "cmdOk"));
    dialog.onClick = [&](std::string_view control) {
        if (control == "cmdOk") desktop.Unload(dialog);
        if (control == "cmdNo") desktop.ShowMessage(u"Sure?", desktop::kStyleCriticalOk, u"T");
    };
    desktop.ShowModal(dialog, &main);
    // The box holds off the dialog owning it as well; the main form stays held after it.
    EXPECT_EQ(seen, (std::vector<Enabled>{{false, true}, {false, false}, {false, true}}));
    EXPECT_EQ(log, (Log{"main Load", "main Activate", "dialog Load", "dialog Activate",
                        "dialog Click cmdNo", "dialog Click cmdOk", "dialog QueryUnload 1",
                        "dialog Unload", "main Activate"}));
    EXPECT_TRUE(desktop.FormEnabled("main"));
    EXPECT_EQ(desktop.FormByName("dialog"), nullptr);
}

TEST_F(FormEventsTest, CancelledUnloadKeepsTheForm) {
    desktop.Show(main);
    main.cancelNext = -1;
    EXPECT_FALSE(desktop.Unload(main));
    EXPECT_TRUE(main.Loaded());
    EXPECT_TRUE(desktop.Unload(main));
    EXPECT_FALSE(main.Loaded());
    EXPECT_EQ(log, (Log{"main Load", "main Activate", "main QueryUnload 1", "main QueryUnload 1",
                        "main Unload"}));
}

// Unloads started outside the program pass the reason on.
struct OutsideCase {
    const char* name;
    sim::Step step;
    int mode;
};

TEST_F(FormEventsTest, UnloadsFromOutsideCarryTheirMode) {
    const OutsideCase cases[] = {{"task list", sim::TaskListClose("main"), 3},
                                 {"session end", sim::EndSession(), 2}};
    for (const auto& c : cases) {
        sim::SimulatedDesktop d;
        Log events;
        LoggingForm form(d, "main", events);
        d.Show(form);
        d.Then(c.step);
        d.Then(sim::Idle(1s));
        d.Run([&] {
            while (form.Loaded()) {
                d.PumpEvents();
                d.WaitForDesktopChange(1s);
            }
        });
        EXPECT_EQ(events, (Log{"main Load", "main Activate",
                               "main QueryUnload " + std::to_string(c.mode), "main Unload"}))
            << c.name;
    }
}

TEST_F(FormEventsTest, SessionEndAsksEveryFormBeforeUnloadingAny) {
    desktop.Show(main);
    desktop.Then(sim::EndSession()).Then(sim::Idle(1s));
    dialog.cancelNext = 0;
    desktop.Run([&] { desktop.ShowModal(dialog, &main); });
    EXPECT_EQ(Log(log.begin() + 4, log.end()),
              (Log{"dialog QueryUnload 2", "main QueryUnload 2", "dialog Unload", "main Unload"}));
}

TEST_F(FormEventsTest, ChangeIsRaisedOnlyWhenTheTextReallyChanges) {
    desktop.Show(main);
    main.Window().SetText("txt", u"?");  // the text it already holds
    EXPECT_EQ(log.size(), 2u);
    main.upperCase = true;
    main.Window().SetText("txt", u"a");
    // "a" raises Change; the handler's "X" raises it once more; the second "X" nothing.
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"main Change txt", "main Change txt"}));
    EXPECT_EQ(main.Window().Text("txt"), u"X");
}

TEST_F(FormEventsTest, TypingBeyondTheMaximumLengthIsRefused) {
    desktop.Show(main);
    desktop.Then(sim::ReplaceText("main", "txt", u"abcdef")).Then(sim::Idle(1s));
    desktop.Run([&] {
        desktop.PumpEvents();
        desktop.WaitForDesktopChange(1s);
        desktop.PumpEvents();
    });
    EXPECT_EQ(main.Window().Text("txt"), u"abc");
}

// Enter presses the default button and Esc the cancel one; the focus opens on the first
// tab stop and Tab moves it along the tab order.
TEST_F(FormEventsTest, KeysOnAFormFollowItsLayout) {
    main.SetTabOrder({"lbl", "cmdNo", "txt", "cmdOk"});
    desktop.Show(main);
    std::vector<std::string> focus;
    for (int i = 0; i < 4; ++i) {
        focus.emplace_back(desktop.FocusedControl("main"));
        sim::PressTab("main").apply(desktop);
        desktop.PumpEvents();
    }
    EXPECT_EQ(focus, (std::vector<std::string>{"cmdNo", "txt", "cmdOk", "cmdNo"}));
    sim::PressEnter("main").apply(desktop);
    sim::PressEscape("main").apply(desktop);
    desktop.PumpEvents();
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"main Click cmdOk", "main Click cmdNo"}));
}

TEST_F(FormEventsTest, TabOrderNamingAMissingControlOrOneTwiceFailsTheLoad) {
    using Names = std::vector<std::string>;
    for (const auto& order : {Names{"txt", "cmdGone"}, Names{"txt", "cmdOk", "txt"}}) {
        main.SetTabOrder(order);
        EXPECT_THROW(desktop.Show(main), std::logic_error) << order.back();
        EXPECT_FALSE(main.Loaded());
    }
    EXPECT_TRUE(log.empty());
}

}  // namespace
