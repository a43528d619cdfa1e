// Undo of committed runs, newest first: each journal says what its run wrote,
// its backup set holds what the run replaced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/stage/stage_journal.h"
#include "platform/stage/staging.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using Content = std::optional<std::pair<std::uint64_t, std::uint32_t>>;

// Where a forced undo keeps a file it replaces: as the file lies in the
// installed system's folder, so that the user finds it by its name.
fs::path KeptPath(const fs::path& kept, const fs::path& systemFolder, const std::string& target, std::size_t index)
{
    const fs::path relative = fs::path(target).lexically_relative(systemFolder);
    if (!relative.empty() && *relative.begin() != ".." && *relative.begin() != stage::kRunFolder)
        return kept / relative;
    return kept / (std::to_string(index) + "-" + fs::path(target).filename().string());
}

// Keeps every file the undo will replace or remove; false (nothing kept) on a failure.
bool KeepReplaced(const stage::Journal& journal, const fs::path& kept, const fs::path& systemFolder)
{
    stage::RemoveTree(kept);  // what a forced undo cut short before it began left
    std::error_code ec;
    bool ok = fs::create_directory(kept, ec);
    std::vector<fs::path> folders{kept.parent_path(), kept};
    std::size_t index = 0;
    for (const stage::Rename& rename : journal.renames) {
        struct stat st {};
        if (!ok || ::lstat(rename.target.c_str(), &st) != 0 || stage::IsRunLog(rename.target, kept.parent_path()))
            continue;
        const fs::path to = KeptPath(kept, systemFolder, rename.target, ++index);
        fs::create_directories(to.parent_path(), ec);
        bool isCopy = false;
        ok = stage::KeepBackup(rename.target, to, isCopy);
        folders.push_back(to.parent_path());
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const fs::path& folder : folders)
        ok = ok && stage::FlushFolder(folder);
    if (!ok)
        stage::RemoveTree(kept);
    return ok;
}

}  // namespace

UndoResult Stage::Undo(std::vector<std::string>& changed, bool force, std::string* kept)
{
    changed.clear();
    if (ended_ || AnythingStaged())
        return UndoResult::Failed;
    // A completed journal that cannot be read is damaged: nothing may be guessed from it.
    for (const std::string& name : stage::BackupSets(runFolder_))
        if (::access((runFolder_ / name / stage::kDone).c_str(), F_OK) == 0 &&
            !stage::ReadJournal(runFolder_ / name / stage::kDone))
            return UndoResult::Failed;
    // The newest run not yet taken back; a forced undo's set is taken back.
    std::optional<std::pair<std::string, stage::Journal>> newest;
    for (auto& completed : stage::CompletedSets(runFolder_))
        if (::access((runFolder_ / completed.first / stage::kDone).c_str(), F_OK) == 0) {
            newest = std::move(completed);
            break;
        }
    if (!newest)
        return UndoResult::Nothing;
    const fs::path set = runFolder_ / newest->first;
    const stage::Journal& journal = newest->second;
    std::vector<fs::path> folders;
    for (const stage::Rename& rename : journal.renames) {
        if (stage::IsRunLog(rename.target, set))
            continue;  // the history, which later runs and undos extend
        if (!stage::HasContent(rename.target, rename.size, rename.checksum))
            changed.push_back(rename.target);
        if (!rename.backup.empty() &&
            !stage::HasContent((set / rename.backup).string(), rename.backupSize, rename.backupChecksum))
            return UndoResult::Failed;  // nothing sound to put back
        folders.push_back(fs::path(rename.target).parent_path());
    }
    if (!changed.empty() && !force)
        return UndoResult::Refused;
    force = !changed.empty();  // with nothing changed, nothing to keep
    for (const std::string& made : journal.madeFolders)
        folders.push_back(fs::path(made).parent_path());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    if (force && !KeepReplaced(journal, set / stage::kKept, runFolder_.parent_path()))
        return UndoResult::Failed;
    if (!force)
        stage::RemoveTree(set / stage::kKept);

    // From here recovery finishes the undo: an UNDO journal is taken back to its end.
    if (::rename((set / stage::kDone).c_str(), (set / stage::kUndo).c_str()) != 0 || !stage::FlushFolder(set))
        return UndoResult::Failed;
    if (!stage::RollBack(journal, set, true))
        return UndoResult::Failed;
    for (const fs::path& folder : folders)
        stage::FlushFolder(folder);
    if (force) {
        if (kept)
            *kept = (set / stage::kKept).string();
        ::rename((set / stage::kUndo).c_str(), (set / stage::kForced).c_str());
        stage::FlushFolder(set);
    } else {
        stage::RemoveSet(set);
    }
    stage::FlushFolder(runFolder_);
    return UndoResult::Restored;
}

std::vector<BackupSetSummary> Stage::History() const
{
    std::vector<BackupSetSummary> history;
    // What each file would be once the newer runs are taken back: nothing for
    // a file that one of them added; the disk's content for the others.
    std::map<std::string, Content> view;
    const auto contentOf = [&view](const std::string& target) {
        auto found = view.find(target);
        if (found == view.end())
            found = view.emplace(target, stage::Content(target)).first;
        return found->second;
    };
    bool blocked = false;
    for (const auto& [name, journal] : stage::CompletedSets(runFolder_)) {
        BackupSetSummary summary{journal.committed, journal.package, 0, 0, 0, BackupSetSummary::State::CanUndo};
        for (const stage::Rename& rename : journal.renames)
            if (!stage::IsRunLog(rename.target, runFolder_ / name))
                ++(rename.backup.empty() ? summary.added : summary.replaced);
        if (::access((runFolder_ / name / stage::kForced).c_str(), F_OK) == 0) {
            summary.state = BackupSetSummary::State::Forced;
            history.push_back(std::move(summary));
            continue;
        }
        for (const stage::Rename& rename : journal.renames)
            blocked = blocked || (!stage::IsRunLog(rename.target, runFolder_ / name) &&
                                  contentOf(rename.target) != Content(std::make_pair(rename.size, rename.checksum)));
        if (blocked)
            summary.state = BackupSetSummary::State::FilesChanged;
        for (const stage::Rename& rename : journal.renames)
            view[rename.target] =
                rename.backup.empty() ? Content() : Content(std::make_pair(rename.backupSize, rename.backupChecksum));
        history.push_back(std::move(summary));
    }
    return history;
}

}  // namespace pelmo
