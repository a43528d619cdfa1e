// A stage's commit: every staged file made durable, kept backups and a journal
// written, the renames made, the backup set marked done.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "platform/host/host_file.h"
#include "platform/stage/stage_journal.h"
#include "platform/stage/staging.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

bool Exists(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Makes every staged file durable, together, the way its file system honours
// (host::FlushWayOf). Where syncfs reaches the disk, each file's write-back
// (started when it was finished) is waited for, which also reports a write that
// failed, and one syncfs per file system then commits them all, where a flush
// per file would wait for the disk a thousand times. Elsewhere every file's
// write-back is started first, so that they travel together, and then each is
// flushed on its own. `written` hears how many files are durable so far.
bool MakeDurable(const std::map<std::string, StagedFile>& files, const std::function<void(std::size_t)>& written)
{
    std::map<dev_t, host::FlushWay> ways;
    std::map<dev_t, host::FileDescriptor> wholeFileSystems;
    std::vector<const std::string*> eachFile;
    std::size_t done = 0;
    for (const auto& [target, file] : files) {
        host::FileDescriptor fd(::open(file.work.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
            return false;
        const auto way = ways.try_emplace(st.st_dev, host::FlushWayOf(fd.get())).first->second;
        if (way == host::FlushWay::EachFile) {
            ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
            eachFile.push_back(&file.work);
            continue;
        }
        if (::sync_file_range(fd.get(), 0, 0,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0)
            return false;
        if (!wholeFileSystems.contains(st.st_dev))
            wholeFileSystems.emplace(st.st_dev, std::move(fd));
        written(++done);
    }
    // fsync rather than fdatasync: the run set the files' mode and time too.
    for (const std::string* work : eachFile) {
        host::FileDescriptor fd(::open(work->c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.valid() || ::fsync(fd.get()) != 0)
            return false;
        written(++done);
    }
    for (const auto& [device, fd] : wholeFileSystems)
        if (::syncfs(fd.get()) != 0)
            return false;
    return true;
}

}  // namespace

CommitResult Stage::Commit(const CommitProgress& progress)
{
    if (ended_)
        return CommitResult::NotStarted;
    const auto report = [&](std::size_t done) {
        if (progress)
            progress(done, files_.size());
    };
    report(0);
    // The new content is on the disk before the journal that names it. On a
    // disk this takes the commit's time, so the display hears of every file.
    if (!MakeDurable(files_, report)) {
        Discard();
        return CommitResult::NotStarted;
    }
    const fs::path set = runFolder_ / runId_;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    stage::Journal journal{
        runId_, {}, madeFolders_, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), package_};
    bool ready = files_.empty() || ::mkdir(set.c_str(), 0777) == 0;
    for (auto it = files_.begin(); ready && it != files_.end(); ++it) {
        stage::Rename rename{it->second.work, it->first, it->second.size, it->second.checksum, {}, false};
        if (Exists(it->first)) {
            char name[16];
            std::snprintf(name, sizeof name, "%04zu", journal.renames.size() + 1);
            rename.backup = name;
            ready = stage::KeepBackup(it->first, set / name, rename.backupIsCopy);
            // What undo puts back is checked against this, even when forced.
            const auto kept = ready ? stage::Content((set / name).string()) : std::nullopt;
            ready = kept.has_value();
            if (kept) {
                rename.backupSize = kept->first;
                rename.backupChecksum = kept->second;
            }
        }
        journal.renames.push_back(std::move(rename));
    }
    // The set's name and the folders the run made reach the disk before the
    // journal that leads to them.
    std::set<fs::path> parents;
    for (const std::string& made : madeFolders_)
        parents.insert(fs::path(made).parent_path());
    for (auto it = parents.begin(); ready && it != parents.end(); ++it)
        ready = stage::FlushFolder(*it);
    if (ready && !files_.empty())
        ready = stage::FlushFolder(set) && stage::FlushFolder(runFolder_) &&
                stage::WriteJournal(set / stage::kJournal, journal);
    if (!ready) {
        // Nothing was renamed yet: the commit cannot start, and changes nothing.
        stage::RemoveTree(set);
        Discard();
        return CommitResult::NotStarted;
    }
    if (!files_.empty() && !stage::RollForward(journal)) {
        // Only taken back while the journal says so: interrupted, recovery goes on with it.
        if (::rename((set / stage::kJournal).c_str(), (set / stage::kUndo).c_str()) != 0 || !stage::FlushFolder(set) ||
            !stage::RollBack(journal, set)) {
            ended_ = true;
            Close();
            return CommitResult::NotStarted;
        }
        stage::RemoveTree(set);
        Discard();
        return CommitResult::NotStarted;
    }
    if (!files_.empty() &&
        (::rename((set / stage::kJournal).c_str(), (set / stage::kDone).c_str()) != 0 || !stage::FlushFolder(set))) {
        // Every rename is made; the next recovery marks the journal done.
        ended_ = true;
        Close();
        return CommitResult::Committed;
    }
    // Older backup sets go only now that this one is done.
    if (!files_.empty())
        stage::PruneSets(runFolder_);
    stage::SweepRun(runId_, recordedFolders_, {});
    record_.Reset();
    ::unlink((runFolder_ / stage::kRecordFile).c_str());
    ended_ = true;
    Close();
    return CommitResult::Committed;
}

}  // namespace pelmo
