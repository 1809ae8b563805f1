#pragma once
// What a form's layout decides on every desktop: which control a name means, the
// buttons Enter and Esc press, and the order Tab moves the focus in.
#include <string_view>
#include <vector>

#include "desktop/form_layout.h"

namespace desktop {

// The control called `name`; throws std::logic_error when the form has none.
const ControlLayout& ControlNamed(const FormLayout& layout, std::string_view name);

// The button Enter presses, and the one Esc presses; null when the form has none.
const ControlLayout* DefaultButton(const FormLayout& layout);
const ControlLayout* CancelButton(const FormLayout& layout);

// Whether the user can give a control of this kind the focus.
bool IsFocusable(ControlKind kind);

// The controls `tabOrder` names, in its order; throws std::logic_error when it names
// no control or one twice.
std::vector<const ControlLayout*> TabOrder(const FormLayout& layout);
// The focusable ones of them, which Tab moves along; the first has the focus when the
// form opens.
std::vector<const ControlLayout*> TabStops(const FormLayout& layout);

}  // namespace desktop
