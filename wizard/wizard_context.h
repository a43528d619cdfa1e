// What every window of the wizard works on: the machine and the package folder.
#pragma once

#include <optional>
#include <string>

#include "platform/machine.h"
#include "upgrade/staged_run.h"

namespace pelmo {

class InstallLog;

struct WizardContext {
    // The destination dialog changes its current drive and folders.
    Machine& machine;
    // SourceFolder: package file names are appended to it directly.
    std::string sourceFolder;
    // Each run's log goes here too, when the command line asks for it.
    InstallLog* log = nullptr;
    // How the last run ended, for the program's exit status; none before any run.
    std::optional<RunOutcome> lastRun;
};

}  // namespace pelmo
