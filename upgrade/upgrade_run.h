// The upgrade run: checks, installation of every entry, optional steps, outcome.
#pragma once

#include <string>
#include <string_view>

#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/archive_library.h"
#include "upgrade/prompter.h"

namespace pelmo {

// How a run ended; the front ends turn it into what the user sees next.
enum class RunOutcome {
    Upgraded,              // every step succeeded
    UpgradedWithFailures,  // a step after the installation reported a failure, and the run went on
    Stopped,               // an installation failure or a cancelled disk prompt: the program closes
    FolderRejected,        // a check failed, or the system kind needed for "START" is unknown
};

// Checks the folder, installs every entry, runs the optional steps and shows the
// outcome. Updates systemIniName, systemKind and the "START" entry's fileName in
// `info`.
RunOutcome RunUpgrade(const Machine& machine, Prompter& prompter, ArchiveLibrary& archive, PackageInfo& info,
               std::string_view sourceFolder);

// What the "START" entry's name gets for a system kind: "0" to "5" and "99"; any
// other kind extracts "START" itself.
std::string StartArchiveSuffix(int systemKind);

// Creates the one folder at `path` when nothing exists there.
void EnsureFolder(const Machine& machine, std::string_view path);

}  // namespace pelmo
