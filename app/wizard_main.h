// The wizard front end: runs the Qt application on a machine and a package folder.
#pragma once

#include <string>

#include "platform/machine.h"

namespace pelmo {

class InstallLog;

// Shows the wizard until it closes. `sourceFolder` is SourceFolder (Windows form,
// code page 932); `log`, when given, gets the log of every run. The exit status
// of the last run (0 when the user quit before any), or the bad command line's
// when the window could not be made.
int RunWizard(int& argc, char** argv, const Machine& machine, std::string sourceFolder, InstallLog* log = nullptr);

}  // namespace pelmo
