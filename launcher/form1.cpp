#include "launcher/program.h"
namespace launcher { void Main(desktop::PlatformShell& shell) { shell.EndProgram(); } }
