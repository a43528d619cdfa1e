// The disk with a run's staged changes over it.
#include "platform/staged_view.h"

#include <algorithm>
#include <vector>

#include "platform/host/host_file.h"

namespace fs = std::filesystem;

namespace pelmo {

std::optional<struct stat> StagedView::Status(const fs::path& path) const
{
    return host::Stat(Content(path));
}

fs::path StagedView::Content(const fs::path& path) const
{
    const StagedFile* staged = stage_.Find(path);
    return staged ? fs::path(staged->work) : path;
}

// The one place where the disk and the stage meet: what the disk holds, less
// this run's work files, plus every file the run has staged in the folder,
// each name once.
bool StagedView::List(const fs::path& folder, const NameVisitor& visit) const
{
    const std::vector<std::string> staged = stage_.NamesIn(folder);  // sorted
    const bool readable = DiskView(machine()).List(folder, [&](std::string_view name, bool isFolder) {
        if (!stage_.IsOwnWorkFile(name) && !std::binary_search(staged.begin(), staged.end(), name))
            visit(name, isFolder);
    });
    if (!readable)
        return false;
    for (const std::string& name : staged)
        visit(name, false);
    return true;
}

}  // namespace pelmo
