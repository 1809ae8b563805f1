#pragma once
// A parameterised test's cases are structs with a `name`, which names each case in the
// test's name, and so in its failure messages.
#include <string>

namespace e2e {

inline constexpr auto CaseName = [](const auto& tested) { return std::string(tested.param.name); };

}  // namespace e2e
