// The wizard front end: runs the Qt application on a machine and a package folder.
#pragma once

#include <string>

#include "platform/machine.h"

namespace pelmo {

class InstallLog;

// Shows the wizard until it closes. `sourceFolder` is SourceFolder (Windows form,
// code page 932); `log`, when given, gets the log of every run. 0 when the wizard
// ran, 1 when its window could not be made.
int RunWizard(int& argc, char** argv, const Machine& machine, std::string sourceFolder, InstallLog* log = nullptr);

}  // namespace pelmo
