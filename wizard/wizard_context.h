// What every window of the wizard works on: the machine and the package folder.
#pragma once

#include <string>

#include "platform/machine.h"

namespace pelmo {

struct WizardContext {
    // The destination dialog changes its current drive and folders.
    Machine& machine;
    // SourceFolder: package file names are appended to it directly.
    std::string sourceFolder;
};

}  // namespace pelmo
