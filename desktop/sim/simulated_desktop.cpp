#include "desktop/sim/simulated_desktop.h"
