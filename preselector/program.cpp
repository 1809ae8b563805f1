#include "preselector/program.h"

#include "preselector/preselector.h"

namespace preselector {

void Main(desktop::PlatformShell& shell) {
    Preselector preselector(shell);
    preselector.StartUp();
}

}  // namespace preselector
