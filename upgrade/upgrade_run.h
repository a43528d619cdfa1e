// The upgrade run: checks, installation of every entry, optional steps, outcome.
#pragma once

#include <string>
#include <string_view>

#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/archive_library.h"
#include "upgrade/prompter.h"

namespace pelmo {

// 1 when the program should close (success, cancelled disk prompt, installation
// failure); 0 to show the destination dialog again (a check failed, or the system
// kind needed for "START" is unknown). Updates systemIniName, systemKind and the
// "START" entry's fileName in `info`.
int RunUpgrade(const Machine& machine, Prompter& prompter, ArchiveLibrary& archive, PackageInfo& info,
               std::string_view sourceFolder);

// What the "START" entry's name gets for a system kind: "0" to "5" and "99"; any
// other kind extracts "START" itself.
std::string StartArchiveSuffix(int systemKind);

// Creates the one folder at `path` when nothing exists there.
void EnsureFolder(const Machine& machine, std::string_view path);

}  // namespace pelmo
