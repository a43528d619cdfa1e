// The upgrade run: checks, installation of every entry, optional steps, outcome.
#pragma once

#include <string>
#include <string_view>

#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/archive_library.h"
#include "upgrade/prompter.h"

namespace pelmo {

class InstallLog;
class StagedView;

// How a run ended; the front ends turn it into what the user sees next.
enum class RunOutcome {
    Upgraded,              // every step succeeded
    UpgradedWithFailures,  // a step after the installation reported a failure, and the run went on
    Stopped,               // an installation failure or a cancelled disk prompt: the program closes
    FolderRejected,        // a check failed, or the system kind needed for "START" is unknown
};

struct RunOptions {
    bool dryRun = false;        // stage everything, then discard it
    InstallLog* log = nullptr;  // the front end's copy of the log, when it wants one
};

// Checks the folder, installs every entry, runs the optional steps and shows the
// outcome. Every change is staged and committed (or discarded) before the last
// message. Updates systemKind and the "START" entry's fileName in `info`; the
// settings-file name the run finds stays the run's own, so every run starts from
// the name the package gave. A committed run keeps its log in the run folder.
RunOutcome RunUpgrade(const Machine& machine, Prompter& prompter, ArchiveLibrary& archive, PackageInfo& info,
                      std::string_view sourceFolder, const RunOptions& options = {});

// What the "START" entry's name gets for a system kind: "0" to "5" and "99"; any
// other kind extracts "START" itself.
std::string StartArchiveSuffix(int systemKind);

// Creates the one folder at `path` when nothing exists there.
void EnsureFolder(StagedView& files, std::string_view path);

}  // namespace pelmo
