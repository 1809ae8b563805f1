#pragma once
// Milliseconds since start-up from a 32-bit tick count, which wraps to 0 after 49.7
// days: a resident program's session can last that long. Each reading below the last
// one is taken as a wrap, so the count must be read at least once every 49.7 days; the
// watcher reads it several times a minute even when idle.
#include <cstdint>

#include "desktop/platform_shell.h"

namespace desktop {

class TickClock {
  public:
    Millis Extend(std::uint32_t ticks) {
        if (ticks < last_) wraps_ += std::uint64_t{1} << 32;
        last_ = ticks;
        return Millis(static_cast<long long>(wraps_ + ticks));
    }

  private:
    std::uint32_t last_ = 0;
    std::uint64_t wraps_ = 0;
};

}  // namespace desktop
