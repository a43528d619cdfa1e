// The run folder's log file and the test for an unfinished run.
#include "platform/stage_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

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
    StagedFile file{
        work->first, content.size(),
        static_cast<std::uint32_t>(::crc32_z(0, reinterpret_cast<const Bytef*>(content.data()), content.size()))};
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
    return ::lstat((stage.runFolder() / stage::kRecordFile).c_str(), &st) == 0;
}

}  // namespace pelmo
