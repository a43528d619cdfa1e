// Test support: a host folder's tree recorded entry by entry, to compare states of a machine.
#include "tests/support/snapshot.h"

#include <sys/stat.h>

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::test {

Snapshot TakeSnapshot(const fs::path& root)
{
    Snapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0)
            continue;
        std::string& entry = snapshot[it->path().lexically_relative(root).string()];
        entry = (S_ISREG(st.st_mode) ? "file " : S_ISDIR(st.st_mode) ? "folder " : S_ISLNK(st.st_mode) ? "link " : "other ");
        entry += std::to_string(st.st_mode & 07777);
        if (S_ISREG(st.st_mode))
            entry += " " + ReadHostFile(it->path());
        else if (S_ISLNK(st.st_mode))  // machines in other folders compare alike
            entry += " " + fs::read_symlink(it->path()).lexically_relative(root).string();
    }
    return snapshot;
}

std::string Differences(const Snapshot& before, const Snapshot& after)
{
    std::string lines;
    for (const auto& [path, entry] : after) {
        auto old = before.find(path);
        if (old == before.end())
            lines += "added " + path + "\n";
        else if (old->second != entry)
            lines += "changed " + path + "\n";
    }
    for (const auto& [path, entry] : before)
        if (!after.contains(path))
            lines += "removed " + path + "\n";
    return lines;
}

}  // namespace pelmo::test
