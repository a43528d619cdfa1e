// The backup sets of the run folder, what commit, rollback and undo do with
// them, and recovery. The record's and journal's text: stage_records.cpp.
#include "platform/stage/stage_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/host/owned_file.h"

namespace fs = std::filesystem;

namespace pelmo::stage {
namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Copies a file with its mode and times, flushed, to a new file `to`.
bool CopyWhole(const std::string& from, const std::string& to)
{
    struct stat st {};
    const host::FileDescriptor in = host::OpenRegularFile(from.c_str(), 0, st);
    if (!in.valid())
        return false;
    host::FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.valid())
        return false;
    host::RemovedUnlessKept copy(to);
    if (!host::ReadPieces(
            in.get(), [&](std::string_view piece) { return host::WriteAll(out.get(), piece.data(), piece.size()); }))
        return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(out.get(), st.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0 ||
        !out.Reset())
        return false;
    copy.Keep();
    return true;
}

// Puts a copied backup back over `target`: copied beside it, then renamed, so
// the target is never half written.
bool RestoreCopy(const std::string& backup, const std::string& target, const std::string& runId)
{
    const std::string work = (fs::path(target).parent_path() / (".pelmo-" + runId + "-restore")).string();
    ::unlink(work.c_str());
    if (!CopyWhole(backup, work))
        return false;
    if (::rename(work.c_str(), target.c_str()) != 0) {
        ::unlink(work.c_str());
        return false;
    }
    return ::unlink(backup.c_str()) == 0 || errno == ENOENT;
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

// Without a staging record only an undo can have been interrupted: its set's
// journal is UNDO, and it is taken back to its end. A set without any journal
// is what a crash left of one being removed.
Recovered RecoverUndo(const fs::path& runFolder, const std::function<void()>& tick)
{
    Recovered result = Recovered::Nothing;
    for (const std::string& name : BackupSets(runFolder)) {
        const fs::path set = runFolder / name;
        if (Exists((set / kDone).string()) || Exists((set / kJournal).string()) || Exists((set / kForced).string()))
            continue;
        if (Exists((set / kUndo).string())) {
            // Renamed from a whole DONE: one that cannot be read is damaged, and
            // nothing may be guessed from it.
            const auto undo = ReadJournal(set / kUndo);
            if (!undo || !RollBack(*undo, set, true, tick))
                return Recovered::Failed;
            result = Recovered::RolledBack;
            // A forced undo keeps what it replaced, and its journal for the list.
            if (Exists((set / kKept).string())) {
                if (::rename((set / kUndo).c_str(), (set / kForced).c_str()) != 0 || !FlushFolder(set))
                    return Recovered::Failed;
                continue;
            }
        }
        RemoveSet(set);
    }
    return result;
}

}  // namespace

bool FlushFolder(const fs::path& folder)
{
    host::FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool KeepBackup(const std::string& target, const fs::path& backup, bool& isCopy)
{
    isCopy = false;
    if (::link(target.c_str(), backup.c_str()) == 0)
        return true;
    // Another file system, or one without hard links: a copy does.
    // Linux gives ENOTSUP the number of EOPNOTSUPP.
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP)
        return false;
    isCopy = true;
    return CopyWhole(target, backup.string());
}

std::optional<std::pair<std::uint64_t, std::uint32_t>> Content(const std::string& path)
{
    struct stat st {};
    const host::FileDescriptor fd = host::OpenRegularFile(path.c_str(), O_NOFOLLOW, st);
    if (!fd.valid())
        return std::nullopt;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!host::ReadPieces(fd.get(), [&](std::string_view piece) {
            size += piece.size();
            crc = Crc32(crc, piece);
            return true;
        }))
        return std::nullopt;
    return std::make_pair(size, crc);
}

bool HasContent(const std::string& path, std::uint64_t size, std::uint32_t checksum)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size)
        return false;
    const auto content = Content(path);
    return content && content->first == size && content->second == checksum;
}

bool RollForward(const Journal& journal, const std::function<void()>& tick)
{
    std::vector<fs::path> folders;
    for (const Rename& rename : journal.renames) {
        if (tick)
            tick();
        if (Exists(rename.work) && ::rename(rename.work.c_str(), rename.target.c_str()) != 0)
            return false;
        folders.push_back(fs::path(rename.target).parent_path());
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const fs::path& folder : folders)
        FlushFolder(folder);  // the renames are made; a failed flush only delays them
    return true;
}

bool IsRunLog(const std::string& target, const fs::path& set)
{
    return fs::path(target) == set.parent_path() / kLogFile;
}

bool RollBack(const Journal& journal, const fs::path& set, bool undo, const std::function<void()>& tick)
{
    bool ok = true;
    for (auto it = journal.renames.rbegin(); it != journal.renames.rend(); ++it) {
        if (tick)
            tick();
        const Rename& rename = *it;
        if (undo && IsRunLog(rename.target, set))
            continue;
        if (Exists(rename.work)) {
            ok = ::unlink(rename.work.c_str()) == 0 && ok;  // never put in place
            continue;
        }
        if (rename.backup.empty()) {
            if (::unlink(rename.target.c_str()) != 0 && errno != ENOENT)
                ok = false;
            continue;
        }
        const std::string backup = (set / rename.backup).string();
        if (!Exists(backup))
            continue;  // put back already
        if (rename.backupIsCopy)
            ok = RestoreCopy(backup, rename.target, journal.runId) && ok;
        else
            ok = ::rename(backup.c_str(), rename.target.c_str()) == 0 && ok;
    }
    SweepRun(journal.runId, {}, journal.madeFolders, tick);
    return ok;
}

void SweepRun(const std::string& runId, const std::vector<std::string>& folders,
              const std::vector<std::string>& madeFolders, const std::function<void()>& tick)
{
    const std::string prefix = ".pelmo-" + runId + "-";
    for (const std::vector<std::string>* list : {&folders, &madeFolders})
        for (const std::string& folder : *list)
            for (const std::string& name : Names(folder))
                if (name.starts_with(prefix)) {
                    ::unlink((fs::path(folder) / name).c_str());
                    if (tick)
                        tick();
                }
    std::vector<std::string> made = madeFolders;
    // Deepest first; a folder that holds anything else stays.
    std::sort(made.begin(), made.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : made)
        ::rmdir(folder.c_str());
}

void RemoveTree(const fs::path& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

void RemoveSet(const fs::path& set)
{
    for (const std::string& name : Names(set))
        if (name != kUndo && name != kDone && name != kJournal && name != kForced)
            RemoveTree(set / name);
    for (const char* journal : {kUndo, kDone, kJournal, kForced})
        ::unlink((set / journal).c_str());
    ::rmdir(set.c_str());
}

std::vector<std::string> BackupSets(const fs::path& runFolder)
{
    std::vector<std::string> sets;
    for (const std::string& name : Names(runFolder)) {
        std::error_code ec;
        if (fs::is_directory(runFolder / name, ec))
            sets.push_back(name);
    }
    return sets;
}

std::vector<std::pair<std::string, Journal>> CompletedSets(const fs::path& runFolder)
{
    std::vector<std::pair<std::string, Journal>> sets;
    for (const std::string& name : BackupSets(runFolder))
        for (const char* ending : {kDone, kForced})
            if (auto journal = ReadJournal(runFolder / name / ending))
                sets.emplace_back(name, std::move(*journal));
    std::sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) {
        return a.second.committed != b.second.committed ? a.second.committed > b.second.committed : a.first > b.first;
    });
    return sets;
}

void PruneSets(const fs::path& runFolder, std::size_t keep, std::uint64_t budget)
{
    std::uint64_t used = 0;
    std::size_t index = 0;
    for (const auto& [name, journal] : CompletedSets(runFolder)) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(runFolder / name, ec), end; !ec && it != end; it.increment(ec))
            if (std::error_code sizeError; it->is_regular_file(sizeError))
                used += it->file_size(sizeError);
        if (index++ > 0 && (index > keep || used > budget))
            RemoveSet(runFolder / name);
    }
}

Recovered RecoverRunFolder(const fs::path& runFolder, const std::function<void(Recovered)>& tick)
{
    auto doing = [&tick](Recovered work) {
        return tick ? std::function<void()>([&tick, work] { tick(work); }) : std::function<void()>();
    };
    const fs::path recordFile = runFolder / kRecordFile;
    if (!Exists(recordFile.string()))
        return RecoverUndo(runFolder, doing(Recovered::RolledBack));
    const std::optional<Record> record = ReadRecord(recordFile);
    if (!record) {
        // Cut short before its first folder was flushed: nothing was staged.
        return ::unlink(recordFile.c_str()) == 0 ? Recovered::Nothing : Recovered::Failed;
    }
    const fs::path set = runFolder / record->runId;
    Recovered result = Recovered::RolledBack;
    bool ok = true;
    if (Exists((set / kDone).string())) {
        result = Recovered::Completed;
    } else if (const auto undo = ReadJournal(set / kUndo)) {
        ok = RollBack(*undo, set, false, doing(Recovered::RolledBack));
    } else if (const auto journal = ReadJournal(set / kJournal)) {
        ok = RollForward(*journal, doing(Recovered::Completed)) &&
             ::rename((set / kJournal).c_str(), (set / kDone).c_str()) == 0 && FlushFolder(set);
        result = Recovered::Completed;
    }
    if (!ok)
        return Recovered::Failed;
    if (result == Recovered::RolledBack)
        RemoveTree(set);
    else
        PruneSets(runFolder);
    SweepRun(record->runId, record->folders,
             result == Recovered::RolledBack ? record->madeFolders : std::vector<std::string>{}, doing(result));
    return ::unlink(recordFile.c_str()) == 0 ? result : Recovered::Failed;
}

}  // namespace pelmo::stage
