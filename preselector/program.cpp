#include "preselector/program.h"
namespace preselector { void Main(desktop::PlatformShell& shell) { shell.EndProgram(); } }
