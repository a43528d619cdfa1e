// Undo of the last committed run: its journal says what it wrote, its backup set
// holds what it replaced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "platform/checksum.h"
#include "platform/host_file.h"
#include "platform/owned_file.h"
#include "platform/stage_journal.h"
#include "platform/staging.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Whether `path` is still the file the commit put there.
bool Unchanged(const std::string& path, std::uint64_t size, std::uint32_t checksum)
{
    host::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) != size)
        return false;
    std::uint32_t crc = 0;
    return host::ReadPieces(fd.get(),
                            [&](std::string_view piece) {
                                crc = Crc32(crc, piece);
                                return true;
                            }) &&
           crc == checksum;
}

bool Exists(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The backup set of the last completed run: the one whose journal is done (the
// newest, should a crash have left an older one beside it).
std::optional<fs::path> LastDoneSet(const fs::path& runFolder)
{
    std::optional<fs::path> last;
    std::timespec newest{};
    for (const std::string& name : stage::BackupSets(runFolder)) {
        struct stat st {};
        if (::stat((runFolder / name / stage::kDone).c_str(), &st) != 0)
            continue;
        if (!last || st.st_mtim.tv_sec > newest.tv_sec ||
            (st.st_mtim.tv_sec == newest.tv_sec && st.st_mtim.tv_nsec > newest.tv_nsec)) {
            last = runFolder / name;
            newest = st.st_mtim;
        }
    }
    return last;
}

}  // namespace

UndoResult Stage::Undo(std::vector<std::string>& changed)
{
    changed.clear();
    if (ended_ || AnythingStaged())
        return UndoResult::Failed;
    const std::optional<fs::path> set = LastDoneSet(runFolder_);
    if (!set)
        return UndoResult::Nothing;
    const std::optional<stage::Journal> journal = stage::ReadJournal(*set / stage::kDone);
    if (!journal)
        return UndoResult::Failed;
    std::vector<fs::path> folders;
    for (const stage::Rename& rename : journal->renames) {
        if (!Unchanged(rename.target, rename.size, rename.checksum))
            changed.push_back(rename.target);
        else if (!rename.backup.empty() && !Exists(*set / rename.backup))
            return UndoResult::Failed;  // nothing to put back
        folders.push_back(fs::path(rename.target).parent_path());
    }
    if (!changed.empty())
        return UndoResult::Refused;
    for (const std::string& made : journal->madeFolders)
        folders.push_back(fs::path(made).parent_path());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());

    // From here recovery finishes the undo: an UNDO journal is taken back to its end.
    if (::rename((*set / stage::kDone).c_str(), (*set / stage::kUndo).c_str()) != 0 || !stage::FlushFolder(*set))
        return UndoResult::Failed;
    if (!stage::RollBack(*journal, *set))
        return UndoResult::Failed;
    for (const fs::path& folder : folders)
        stage::FlushFolder(folder);
    stage::RemoveSet(*set);
    stage::FlushFolder(runFolder_);
    return UndoResult::Restored;
}

}  // namespace pelmo
