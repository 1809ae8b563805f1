#include "desktop/form_rules.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace desktop {
namespace {

const ControlLayout* ButtonWhere(const FormLayout& layout, bool ControlLayout::*flag) {
    auto it = std::ranges::find_if(layout.controls, [&](const ControlLayout& c) {
        return c.kind == ControlKind::Button && c.*flag;
    });
    return it != layout.controls.end() ? &*it : nullptr;
}

}  // namespace

const ControlLayout& ControlNamed(const FormLayout& layout, std::string_view name) {
    auto it = std::ranges::find(layout.controls, name, &ControlLayout::name);
    if (it == layout.controls.end()) {
        throw std::logic_error("form " + layout.name + " has no control " + std::string(name));
    }
    return *it;
}

const ControlLayout* DefaultButton(const FormLayout& layout) {
    return ButtonWhere(layout, &ControlLayout::isDefault);
}

const ControlLayout* CancelButton(const FormLayout& layout) {
    return ButtonWhere(layout, &ControlLayout::isCancel);
}

bool IsFocusable(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::TextBox ||
           kind == ControlKind::CheckBox;
}

std::vector<const ControlLayout*> TabOrder(const FormLayout& layout) {
    std::vector<const ControlLayout*> order;
    for (const std::string& name : layout.tabOrder) {
        const ControlLayout* control = &ControlNamed(layout, name);
        if (std::ranges::find(order, control) != order.end()) {
            throw std::logic_error("tab order of " + layout.name + " names " + name + " twice");
        }
        order.push_back(control);
    }
    return order;
}

std::vector<const ControlLayout*> TabStops(const FormLayout& layout) {
    std::vector<const ControlLayout*> stops = TabOrder(layout);
    std::erase_if(stops, [](const ControlLayout* c) { return !IsFocusable(c->kind); });
    return stops;
}

}  // namespace desktop
