#pragma once
// How long to wait for a desktop change before looking again. Some changes are never
// reported (Wine reports window creation alone), so a waiter also looks on its own:
// soon at first, because what it waits for usually follows within milliseconds, then
// less and less often up to a ceiling, so a long wait costs next to nothing.
#include <algorithm>

#include "desktop/platform_shell.h"

namespace desktop {

class RecheckPacing {
  public:
    explicit RecheckPacing(Millis first = Millis{4}, Millis ceiling = Millis{250})
        : first_(first), ceiling_(ceiling), next_(first) {}

    // The pause before the next look; each call doubles it, up to the ceiling.
    Millis Next() {
        const Millis pause = next_;
        next_ = std::min(next_ * 2, ceiling_);
        return pause;
    }
    void Reset() { next_ = first_; }

  private:
    Millis first_;
    Millis ceiling_;
    Millis next_;
};

}  // namespace desktop
