// The disk as the file services see it outside a run.
#include "platform/file_view.h"

#include <dirent.h>
#include <fcntl.h>

#include <memory>

#include "platform/host/host_file.h"

namespace fs = std::filesystem;

namespace pelmo {

std::optional<fs::path> FileView::ToHost(std::string_view windowsPath) const
{
    auto resolved = Resolve(windowsPath);
    if (!resolved)
        return std::nullopt;
    return std::move(resolved->host);
}

host::FileDescriptor FileView::OpenForReading(const fs::path& path, int flags) const
{
    return host::FileDescriptor(::open(Content(path).c_str(), O_RDONLY | O_CLOEXEC | flags));
}

std::optional<struct stat> DiskView::Status(const fs::path& path) const
{
    return host::Stat(path);
}

bool DiskView::List(const fs::path& folder, const NameVisitor& visit) const
{
    // A plain readdir loop: a path object per entry cost several times the
    // reading itself, and every new file's name may read its whole folder.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            const auto st = host::Stat(folder / name);
            isFolder = st && S_ISDIR(st->st_mode);
        }
        visit(name, isFolder);
    }
    return true;
}

}  // namespace pelmo
