// Test support: every entry of a host folder's tree recorded, to show what a run changed.
#include "tests/reliability/tree_snapshot.h"

#include <sys/stat.h>

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::test {
namespace {

std::string KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return "file";
    if (S_ISDIR(mode))
        return "folder";
    if (S_ISLNK(mode))
        return "link";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "device";
    if (S_ISFIFO(mode))
        return "fifo";
    return "socket";
}

// A folder's own time changes whenever an entry is added below it, so only the
// kind and mode of a folder count; a file counts with its bytes and time.
std::string Describe(const fs::path& path, const struct stat& st)
{
    std::string text = KindOf(st.st_mode) + " mode " + std::to_string(st.st_mode & 07777);
    if (S_ISREG(st.st_mode)) {
        text += " time " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        text += " bytes " + ReadHostFile(path);
    } else if (S_ISLNK(st.st_mode)) {
        text += " to " + fs::read_symlink(path).string();
    }
    return text;
}

bool IsAtOrBelow(const std::string& entry, const std::string& folder)
{
    return entry == folder || entry.starts_with(folder + "/");
}

}  // namespace

TreeSnapshot TreeSnapshot::Take(const fs::path& root)
{
    TreeSnapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0)
            continue;
        const std::string relative = it->path().lexically_relative(root).string();
        snapshot.entries_[relative] = Describe(it->path(), st);
        snapshot.kinds_[relative] = KindOf(st.st_mode);
    }
    return snapshot;
}

std::vector<std::string> TreeSnapshot::ChangesTo(const TreeSnapshot& later,
                                                 const std::vector<std::string>& excluded) const
{
    const auto skipped = [&](const std::string& entry) {
        for (const std::string& folder : excluded)
            if (IsAtOrBelow(entry, folder))
                return true;
        return false;
    };
    std::vector<std::string> changes;
    for (const auto& [path, description] : entries_) {
        if (skipped(path))
            continue;
        const auto found = later.entries_.find(path);
        if (found == later.entries_.end())
            changes.push_back("removed " + path);
        else if (found->second != description)
            changes.push_back("changed " + path + ": " + description.substr(0, 60) + " -> " +
                              found->second.substr(0, 60));
    }
    for (const auto& [path, description] : later.entries_)
        if (!skipped(path) && !entries_.contains(path))
            changes.push_back("added " + path + " (" + later.kinds_.at(path) + ")");
    return changes;
}

std::map<std::string, std::string> TreeSnapshot::KindsBelow(const std::string& folder) const
{
    std::map<std::string, std::string> below;
    for (const auto& [path, kind] : kinds_)
        if (path.starts_with(folder + "/"))
            below[path.substr(folder.size() + 1)] = kind;
    return below;
}

}  // namespace pelmo::test
