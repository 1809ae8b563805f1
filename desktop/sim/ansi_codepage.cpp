#include "desktop/sim/ansi_codepage.h"
