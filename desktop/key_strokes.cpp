#include "desktop/key_strokes.h"
