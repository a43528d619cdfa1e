// The staged view of a run, its lock and staging record, its discard; the commit: stage_commit.cpp.
#include "platform/stage/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/host/host_file.h"
#include "platform/stage/stage_journal.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Unique enough that two runs' work files never share a name, and free of '-',
// which ends it in a work file's name.
std::string NewRunId()
{
    std::random_device random;
    char id[17];
    std::snprintf(id, sizeof id, "%08x%08x", random(), random());
    return id;
}

// Whether two files have the same bytes, permission bits and last-write time.
bool SameFile(const fs::path& a, const fs::path& b)
{
    struct stat sa {};
    struct stat sb {};
    const host::FileDescriptor fa = host::OpenRegularFile(a.c_str(), O_NOFOLLOW, sa);
    const host::FileDescriptor fb = host::OpenRegularFile(b.c_str(), O_NOFOLLOW, sb);
    if (!fa.valid() || !fb.valid() || sa.st_size != sb.st_size || (sa.st_mode & 07777) != (sb.st_mode & 07777) ||
        sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
        return false;
    std::string other;
    return host::ReadPieces(fa.get(), [&](std::string_view piece) {
        other.resize(piece.size());
        std::size_t got = 0;
        while (got < piece.size()) {
            const ssize_t n = ::read(fb.get(), other.data() + got, piece.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got += static_cast<std::size_t>(n);
        }
        return piece == other;
    });
}

bool Exists(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Locks `runFolder`/LOCK. The lock file may be removed by a run that ends just
// then, so the file locked must still be the one of that name.
StageOpening TakeLock(const fs::path& runFolder, host::FileDescriptor& lock)
{
    const fs::path file = runFolder / stage::kLockFile;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (::mkdir(runFolder.c_str(), 0777) != 0 && errno != EEXIST)
            return StageOpening::Failed;
        lock.Reset(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!lock.valid()) {
            if (errno == ENOENT)
                continue;
            return StageOpening::Failed;
        }
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? StageOpening::Busy : StageOpening::Failed;
        struct stat locked = {};
        struct stat named = {};
        if (::fstat(lock.get(), &locked) == 0 && ::stat(file.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
            locked.st_dev == named.st_dev)
            return StageOpening::Opened;
    }
    return StageOpening::Failed;
}

}  // namespace

std::unique_ptr<Stage> Stage::Open(const fs::path& systemFolder, StageOpening& result)
{
    std::unique_ptr<Stage> stage(new Stage());
    stage->runFolder_ = systemFolder / stage::kRunFolder;
    stage->runId_ = NewRunId();
    result = TakeLock(stage->runFolder_, stage->lock_);
    if (result != StageOpening::Opened) {
        // The lock file may be another run's: only an empty folder goes.
        stage->ended_ = true;
        if (result == StageOpening::Failed)
            ::rmdir(stage->runFolder_.c_str());
        return nullptr;
    }
    return stage;
}

Stage::~Stage()
{
    if (!ended_)
        Discard();
}

Recovery Stage::Recover(const RecoveryProgress& progress)
{
    // A log being appended by an undo or recovery that was killed: the log
    // itself is whole, old or new.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(runFolder_.c_str()), ::closedir);
    while (const dirent* entry = dir ? ::readdir(dir.get()) : nullptr) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(".pelmo-") && name.ends_with("-log"))
            ::unlink((runFolder_ / name).c_str());
    }
    auto tick = [&progress](stage::Recovered work) {
        progress(work == stage::Recovered::Completed ? Recovery::Completed : Recovery::RolledBack);
    };
    switch (stage::RecoverRunFolder(runFolder_, progress ? std::function<void(stage::Recovered)>(tick)
                                                         : std::function<void(stage::Recovered)>())) {
    case stage::Recovered::Nothing:
        return Recovery::Nothing;
    case stage::Recovered::Completed:
        return Recovery::Completed;
    case stage::Recovered::RolledBack:
        return Recovery::RolledBack;
    case stage::Recovered::Failed:
        break;
    }
    return Recovery::Failed;
}

const StagedFile* Stage::Find(const fs::path& target) const
{
    auto found = files_.find(target.string());
    return found == files_.end() ? nullptr : &found->second;
}

std::vector<std::string> Stage::NamesIn(const fs::path& folder) const
{
    std::vector<std::string> names;
    const std::string prefix = (folder / "").string();
    for (auto it = files_.lower_bound(prefix); it != files_.end() && it->first.starts_with(prefix); ++it)
        if (it->first.find('/', prefix.size()) == std::string::npos)
            names.push_back(it->first.substr(prefix.size()));
    return names;
}

bool Stage::IsOwnWorkFile(std::string_view name) const
{
    return name.starts_with(".pelmo-" + runId_ + "-");
}

bool Stage::Record(const std::string& line)
{
    if (!record_.valid()) {
        const fs::path file = runFolder_ / stage::kRecordFile;
        record_.Reset(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
        if (!record_.valid())
            return false;
        const std::string header = stage::RecordHeader(runId_);
        if (!host::WriteAll(record_.get(), header.data(), header.size())) {
            record_.Reset();
            ::unlink(file.c_str());
            return false;
        }
    }
    // A line is in the record once it is flushed; one cut short counts as absent.
    if (!host::WriteAll(record_.get(), line.data(), line.size()) || ::fsync(record_.get()) != 0)
        return false;
    // The record's name, and the run folder's, must outlast a power cut too.
    if (!recordNamed_)
        recordNamed_ = stage::FlushFolder(runFolder_) && stage::FlushFolder(runFolder_.parent_path());
    return recordNamed_;
}

bool Stage::RecordFolder(const fs::path& folder)
{
    const std::string name = folder.string();
    for (const std::string& recorded : recordedFolders_)
        if (recorded == name)
            return true;
    if (!Record(stage::RecordLine("folder", name)))
        return false;
    recordedFolders_.push_back(name);
    return true;
}

std::optional<std::pair<std::string, host::FileDescriptor>> Stage::NewWorkFile(const fs::path& folder)
{
    if (ended_ || !RecordFolder(folder))
        return std::nullopt;
    std::string work = (folder / (".pelmo-" + runId_ + "-XXXXXX")).string();
    host::FileDescriptor fd(::mkstemp(work.data()));
    if (!fd.valid())
        return std::nullopt;
    return std::make_pair(std::move(work), std::move(fd));
}

void Stage::Register(const fs::path& target, StagedFile file)
{
    const std::string key = target.string();
    existed_.try_emplace(key, Exists(target));
    auto [entry, added] = files_.try_emplace(key, file);
    if (!added) {
        // A second write of the file in the run: its first version goes.
        if (entry->second.work != file.work)
            ::unlink(entry->second.work.c_str());
        entry->second = std::move(file);
    }
}

bool Stage::MakeFolder(const fs::path& folder)
{
    if (Exists(folder)) {
        errno = EEXIST;
        return false;
    }
    if (ended_ || !RecordFolder(folder.parent_path()) || !Record(stage::RecordLine("made", folder.string())))
        return false;
    if (::mkdir(folder.c_str(), 0777) != 0)
        return false;
    madeFolders_.push_back(folder.string());
    return true;
}

void Stage::NoteSettings(const fs::path& target, std::string section, std::string key, std::string oldValue,
                         std::string newValue)
{
    notes_.push_back({PlannedChange::Kind::Settings, target.string(), std::move(section), std::move(key),
                      std::move(oldValue), std::move(newValue), 0});
}

void Stage::NoteConverted(const fs::path& target, std::uint64_t records)
{
    notes_.push_back({PlannedChange::Kind::Converted, target.string(), {}, {}, {}, {}, records});
}

void Stage::NoteUnchanged(const fs::path& target, std::uint64_t size, std::uint32_t checksum)
{
    unchanged_.insert_or_assign(target.string(), StagedFile{{}, size, checksum});
}

void Stage::DropIfUnchanged(const fs::path& target)
{
    const auto found = files_.find(target.string());
    if (found == files_.end() || !existed_.at(found->first) || !SameFile(found->second.work, target))
        return;
    ::unlink(found->second.work.c_str());
    NoteUnchanged(target, found->second.size, found->second.checksum);
    files_.erase(found);
}

std::vector<PlannedChange> Stage::Plan() const
{
    std::vector<PlannedChange> plan;
    for (const auto& [target, file] : files_) {
        PlannedChange change;
        change.kind = existed_.at(target) ? PlannedChange::Kind::Replaced : PlannedChange::Kind::Added;
        change.target = target;
        change.size = file.size;
        change.checksum = file.checksum;
        plan.push_back(std::move(change));
    }
    for (const auto& [target, file] : unchanged_)
        if (!files_.contains(target))
            plan.push_back({PlannedChange::Kind::Unchanged, target, {}, {}, {}, {}, 0, file.size, file.checksum});
    // A conversion or key that left its file as it was is no change.
    for (const PlannedChange& note : notes_)
        if (files_.contains(note.target))
            plan.push_back(note);
    return plan;
}

void Stage::Discard(const CommitProgress& progress)
{
    if (ended_)
        return;
    std::size_t done = 0;
    for (const auto& [target, file] : files_) {
        ::unlink(file.work.c_str());
        if (progress)
            progress(++done, files_.size());
    }
    stage::SweepRun(runId_, recordedFolders_, madeFolders_);
    if (record_.valid()) {
        record_.Reset();
        ::unlink((runFolder_ / stage::kRecordFile).c_str());
    }
    ended_ = true;
    Close();
}

void Stage::Close()
{
    record_.Reset();
    // A run folder that holds nothing but the lock goes with the run.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(runFolder_.c_str()), ::closedir);
    bool onlyLock = dir != nullptr;
    while (onlyLock) {
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr)
            break;
        const std::string_view name = entry->d_name;
        onlyLock = name == "." || name == ".." || name == stage::kLockFile;
    }
    if (onlyLock) {
        ::unlink((runFolder_ / stage::kLockFile).c_str());
        ::rmdir(runFolder_.c_str());
    }
    lock_.Reset();
}

}  // namespace pelmo
