// What every window of the wizard works on: the machine and the package folder.
#pragma once

#include <string>

#include "platform/machine.h"

namespace pelmo {

class InstallLog;

struct WizardContext {
    // The destination dialog changes its current drive and folders.
    Machine& machine;
    // SourceFolder: package file names are appended to it directly.
    std::string sourceFolder;
    // Each run's log goes here too, when the command line asks for it.
    InstallLog* log = nullptr;
};

}  // namespace pelmo
