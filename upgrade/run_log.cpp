// The run folder's log file and the test for an unfinished run.
#include "upgrade/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/stage/stage_journal.h"

namespace fs = std::filesystem;

namespace pelmo {

namespace {

std::string CurrentLog(const Stage& stage)
{
    std::ifstream in(stage.runFolder() / kRunLogName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string AppendBlock(std::string log, std::string_view block, std::size_t limit)
{
    log.append(block);
    std::size_t from = 0;
    const std::string next = "\r\n" + std::string(kRunLogBlockStart);
    while (log.size() - from > limit) {
        const std::size_t at = log.find(next, from);
        if (at == std::string::npos || at + 2 > log.size() - block.size())
            break;  // the newest block stays, whatever its size
        from = at + 2;
    }
    return log.substr(from);
}

bool StageRunLog(Stage& stage, std::string_view block)
{
    const std::string content = AppendBlock(CurrentLog(stage), block);
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

bool AppendRunLog(const Stage& stage, std::string_view block)
{
    const std::string content = AppendBlock(CurrentLog(stage), block);
    const fs::path work = stage.runFolder() / (".pelmo-" + stage.runId() + "-log");
    host::FileDescriptor fd(::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    host::RemovedUnlessKept written(work.string());
    if (!fd.valid() || !host::WriteAll(fd.get(), content.data(), content.size()) || ::fsync(fd.get()) != 0 ||
        !fd.Reset() || ::rename(work.c_str(), (stage.runFolder() / kRunLogName).c_str()) != 0)
        return false;
    written.Keep();
    return stage::FlushFolder(stage.runFolder());
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
    // An undo that was cut short leaves its set without a DONE journal (a
    // forced one, done, leaves FORCED).
    for (const std::string& set : stage::BackupSets(stage.runFolder()))
        if (::lstat((stage.runFolder() / set / stage::kDone).c_str(), &st) != 0 &&
            ::lstat((stage.runFolder() / set / stage::kForced).c_str(), &st) != 0)
            return true;
    return false;
}

}  // namespace pelmo
