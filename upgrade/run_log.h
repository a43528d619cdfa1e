// What a run keeps in its run folder besides the staged changes: the log of the
// last committed run, staged so that it is committed together with the backup
// set it describes, and whether an interrupted run waits there for recovery.
#pragma once

#include <string>
#include <string_view>

#include "platform/stage/staging.h"

namespace pelmo {

// The log's name in the run folder.
inline constexpr const char* kRunLogName = "PELMO.LOG";
// Beyond this size whole blocks go from the log's start, oldest first.
inline constexpr std::size_t kRunLogLimit = 1024 * 1024;

// Each block of the log opens with this word, then the date.
inline constexpr std::string_view kRunLogBlockStart = "date ";
// `log` with `block` appended, less its oldest blocks while it is over `limit`.
std::string AppendBlock(std::string log, std::string_view block, std::size_t limit = kRunLogLimit);

// Stages PELMOBAK\PELMO.LOG with `block` appended, so that the commit puts
// the run's block in place with its files. False (nothing staged) when it
// cannot be written.
bool StageRunLog(Stage& stage, std::string_view block);
// Appends `block` to the log at once, for a change that is not staged (undo,
// recovery): written beside it and renamed over it. False when it cannot be.
bool AppendRunLog(const Stage& stage, std::string_view block);

// Removes the lock file while the stage still holds its lock, so that a run
// which must leave no trace leaves none; a run waiting for the lock then finds
// its file gone and makes a new one.
void RemoveLockFile(const Stage& stage);

// Whether the run folder holds the staging record of a run that did not end, or
// the set of an undo cut short, which only a recovery may take up.
bool HasUnfinishedRun(const Stage& stage);

}  // namespace pelmo
