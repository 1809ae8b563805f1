#pragma once
// The preselector as one object: the desktop it runs on, its globals and its main
// window, which lives from start-up until the program ends.
#include <memory>

#include "desktop/platform_shell.h"
#include "preselector/globals.h"

namespace preselector {

class frmDormello;

class Preselector {
  public:
    explicit Preselector(desktop::PlatformShell& shell);
    ~Preselector();
    Preselector(const Preselector&) = delete;
    Preselector& operator=(const Preselector&) = delete;

    // The entry routine: settles the key and the hide flag, repairs an invalid key
    // through the options dialog, then shows the main window, whose first activation
    // runs the watcher. Does not return while the program runs.
    void StartUp();

    // Loads the options dialog and shows it modally; returns when it has closed.
    void ShowOptionsDialog(desktop::Form* owner);

    desktop::PlatformShell& shell;
    Globals g;
    std::unique_ptr<frmDormello> mainWindow;

  private:
    void ReadCommandLine(std::u16string& flag);
};

}  // namespace preselector
