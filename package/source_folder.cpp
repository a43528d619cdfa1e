// SourceFolder from the executable's own path.
#include "package/source_folder.h"

#include "platform/runtime.h"

namespace pelmo {

std::string SourceFolderFromExecutable(std::string_view executablePath)
{
    SplitPathResult parts = SplitPath(executablePath);
    std::string folder = parts.drive + parts.folder;
    if (folder.size() == 3)
        folder.resize(2);
    return folder;
}

}  // namespace pelmo
