#include "bench/dialog_tracker.h"

#include <cstdio>
#include <stdexcept>

namespace bench {

void Say(const std::string& name, const std::string& text) {
    std::printf("bench: %s: %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}

void DialogTracker::Update() {
    for (const auto& line : tail_.ReadNew()) {
        appearances_.Add(line);
        lastOf_[line.event] = line.ticks;
    }
}

std::optional<std::int64_t> DialogTracker::LastOf(const std::string& event) const {
    const auto found = lastOf_.find(event);
    if (found == lastOf_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool OpenAndWaitForKey(const e2e::ShutdownStandIn& standIn, DialogTracker& tracker,
                       e2e::Millis timeout, const std::wstring& open) {
    tracker.Update();
    const size_t before = tracker.Count();
    if (standIn.Command(open) != 1) {
        throw std::runtime_error("the stand-in would not open its dialog");
    }
    return e2e::WaitUntil(
        [&] {
            tracker.Update();
            return tracker.Count() > before && tracker.Key() != nullptr;
        },
        timeout);
}

void Close(const e2e::ShutdownStandIn& standIn) {
    if (standIn.Command(L"close") != 1) {
        throw std::runtime_error("the stand-in had no dialog to close");
    }
}

std::optional<double> Difference(std::optional<double> before, std::optional<double> after) {
    if (!before || !after) {
        return std::nullopt;
    }
    return *after - *before;
}

}  // namespace bench
