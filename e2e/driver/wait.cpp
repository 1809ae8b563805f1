#include "e2e/driver/wait.h"

#include <windows.h>

#include <algorithm>

namespace e2e {

namespace {

// How often a condition is checked. It only paces the polling: the result never
// depends on it.
constexpr Millis kPace{10};

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Millis timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
        if (left <= Millis::zero()) {
            return false;
        }
        const auto slice = std::min(left, kPace);
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(slice.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
    return true;
}

}  // namespace e2e
