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
    // Pauses of `first` until `hold` has passed in them, then doubling up to `ceiling`.
    explicit RecheckPacing(Millis first = Millis{4}, Millis ceiling = Millis{250},
                           Millis hold = Millis{0})
        : ceiling_(ceiling), hold_(hold), next_(first) {}

    // The pause before the next look.
    Millis Next() {
        const Millis pause = next_;
        waited_ += pause;
        if (waited_ >= hold_) next_ = std::min(next_ * 2, ceiling_);
        return pause;
    }

  private:
    Millis ceiling_;
    Millis hold_;
    Millis next_;
    Millis waited_{0};
};

}  // namespace desktop
