// The run folder's log file and the test for an unfinished run.
#include "platform/stage_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/checksum.h"
#include "platform/host_file.h"
#include "platform/stage_journal.h"

namespace pelmo {

bool StageRunLog(Stage& stage, std::string_view content)
{
    auto work = stage.NewWorkFile(stage.runFolder());
    if (!work)
        return false;
    // mkstemp makes the file private; the log is as readable as any file the run writes.
    if (::fchmod(work->second.get(), 0666 & ~host::CurrentUmask()) != 0 ||
        !host::WriteAll(work->second.get(), content.data(), content.size())) {
        ::unlink(work->first.c_str());
        return false;
    }
    StagedFile file{work->first, content.size(), Crc32(0, content)};
    stage.Register(stage.runFolder() / kRunLogName, std::move(file));
    return true;
}

bool HasLockFile(const Machine& machine, std::string_view folder)
{
    const auto host = machine.ToHost(folder);
    struct stat st {};
    return host && ::lstat((*host / stage::kRunFolder / stage::kLockFile).c_str(), &st) == 0;
}

void RemoveLockFile(const Stage& stage)
{
    ::unlink((stage.runFolder() / stage::kLockFile).c_str());
}

bool HasUnfinishedRun(const Stage& stage)
{
    struct stat st {};
    if (::lstat((stage.runFolder() / stage::kRecordFile).c_str(), &st) == 0)
        return true;
    // An undo that was cut short leaves its set without a DONE journal.
    for (const std::string& set : stage::BackupSets(stage.runFolder()))
        if (::lstat((stage.runFolder() / set / stage::kDone).c_str(), &st) != 0)
            return true;
    return false;
}

}  // namespace pelmo
