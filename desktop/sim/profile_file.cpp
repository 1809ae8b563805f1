#include "desktop/sim/profile_file.h"
