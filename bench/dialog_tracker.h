#pragma once
// What the benchmarks share about the shutdown stand-in: following its log through one
// opening after another, opening the dialog and waiting for the key, closing it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "bench/log_tail.h"
#include "e2e/driver/dialog_appearances.h"
#include "e2e/driver/shutdown_standin.h"

namespace bench {

void Say(const std::string& name, const std::string& text);

class DialogTracker {
  public:
    DialogTracker(std::wstring logPath, const std::wstring& dialogTitle, char key)
        : tail_(std::move(logPath)), appearances_(dialogTitle), key_(key) {}

    // Reads what the stand-in logged since the last call.
    void Update();
    size_t Count() const { return appearances_.All().size(); }
    const e2e::Appearance& Last() const { return appearances_.All().back(); }
    // The key-down in the last appearance, once it came.
    const e2e::LogLine* Key() const {
        return Count() == 0 ? nullptr : Last().FirstKeyAfterShown(key_);
    }
    // The counter reading of the latest line of `event` ("retitle", "forward", ...).
    std::optional<std::int64_t> LastOf(const std::string& event) const;
    int StrayKeys() const { return static_cast<int>(appearances_.StrayKeys().size()); }

  private:
    LogTail tail_;
    e2e::DialogAppearances appearances_;
    std::map<std::string, std::int64_t> lastOf_;
    char key_;
};

// Sends `open` (an open command of any shape) and waits up to `timeout` for the key;
// closing is left to the caller. False when no key came.
bool OpenAndWaitForKey(const e2e::ShutdownStandIn& standIn, DialogTracker& tracker,
                       e2e::Millis timeout, const std::wstring& open = L"open");
void Close(const e2e::ShutdownStandIn& standIn);

std::optional<double> Difference(std::optional<double> before, std::optional<double> after);

}  // namespace bench
