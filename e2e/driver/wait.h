#pragma once
// Waiting on conditions. Tests never sleep for a fixed time: they wait until what they
// expect is true, or until a timeout says it never came.
#include <chrono>
#include <functional>

namespace e2e {

using Millis = std::chrono::milliseconds;

// The default bound for "this should happen soon" under Wine on a small machine.
inline constexpr Millis kDefaultTimeout{10000};

// Checks `condition` until it holds or `timeout` has passed, pumping this thread's
// messages between checks (a few ms apart). Returns the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout);

}  // namespace e2e
