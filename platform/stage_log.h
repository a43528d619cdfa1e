// What a run keeps in its run folder besides the staged changes: the log of the
// last committed run, staged so that it is committed together with the backup
// set it describes, and whether an interrupted run waits there for recovery.
#pragma once

#include <string>
#include <string_view>

#include "platform/staging.h"

namespace pelmo {

// The log's name in the run folder.
inline constexpr const char* kRunLogName = "PELMO.LOG";

// Stages `content` as PELMOBAK\PELMO.LOG; the commit then replaces the previous
// log with the previous backup set. False (nothing staged) when it cannot be written.
bool StageRunLog(Stage& stage, std::string_view content);

// Whether the run folder holds the staging record of a run that did not end,
// which only a recovery may take up.
bool HasUnfinishedRun(const Stage& stage);

}  // namespace pelmo
