// `pelmo pack`: makes each entry's files, puts them on disks in order, writes
// info.txt, checks the result with the package check, and only then renames it
// into place.
#include "upgrade/pack/pack_builder.h"

#include <unistd.h>

#include "package/source_folder.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "upgrade/check/package_check.h"
#include "upgrade/pack/builder.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace pack {

void Builder::Build()
{
    if (!Resolve())
        return;
    const auto text = ReadWholeFile(disk_, description_path_);
    if (!text) {
        result_.description.Error(0, "no " + std::string(kDescriptionName) + " in " + request_.source.string());
        return;
    }
    description_ = ParseDescription(*text, result_.description, old_.empty());
    FileStatus status;
    if (GetStatus(disk_, description_path_, status))
        newestTime_ = status.modified;
    if (result_.description.Status() == kCheckErrors || (!old_.empty() && !TakeOldVersion()))
        return;
    if (!MakeFolder(machine_, temp_) || !MakeFolder(machine_, work_)) {
        result_.description.Error(0, "cannot make the folder " + Shown(temp_));
        RemoveFolderTree(machine_, temp_);
        return;
    }
    const bool built = BuildDisks();
    RemoveFolderTree(machine_, work_);
    if (built)
        CheckAndPlace();
    if (!result_.written)
        RemoveFolderTree(machine_, temp_);
}

bool Builder::Resolve()
{
    const PackageFolder source = SourceFolderForHostFolder(machine_, request_.source);
    if (source.problem != FolderProblem::None) {
        result_.problem = FolderProblemText(source, request_.source);
        return false;
    }
    source_ = source.sourceFolder;
    description_path_ = source_ + std::string(kDescriptionName);
    if (!request_.from.empty()) {
        const PackageFolder old = SourceFolderForHostFolder(machine_, request_.from);
        const fs::path file = request_.description.lexically_normal();
        const PackageFolder folder =
            SourceFolderForHostFolder(machine_, file.has_parent_path() ? file.parent_path() : fs::path("."));
        const auto name = Utf8ToCp932(file.filename().string());
        if (old.problem != FolderProblem::None || folder.problem != FolderProblem::None || !name) {
            result_.problem = old.problem != FolderProblem::None ? FolderProblemText(old, request_.from)
                              : folder.problem != FolderProblem::None
                                  ? FolderProblemText(folder, file.parent_path())
                                  : "pelmo: the program cannot use the name " + file.string();
            return false;
        }
        old_ = WithBackslash(old.sourceFolder);
        description_path_ = WithBackslash(folder.sourceFolder) + *name;
    }
    fs::path out = request_.out.lexically_normal();
    if (!out.has_filename())
        out = out.parent_path();
    const fs::path parent = out.has_parent_path() ? out.parent_path() : fs::path(".");
    const PackageFolder outParent = SourceFolderForHostFolder(machine_, parent);
    const auto name = Utf8ToCp932(out.filename().string());
    if (outParent.problem != FolderProblem::None || !name || out.filename() == "." || out.filename() == "..") {
        result_.problem = outParent.problem != FolderProblem::None
                              ? FolderProblemText(outParent, parent)
                              : "pelmo: cannot make the package folder " + request_.out.string();
        return false;
    }
    const std::string parentFolder = WithBackslash(outParent.sourceFolder);
    out_ = parentFolder + *name;
    if (Access(disk_, out_, 0) == 0) {
        const auto items = ListFolder(machine_, out_);
        if (!items || !items->empty()) {
            result_.problem = "pelmo: " + request_.out.string() + " exists and is not an empty folder";
            return false;
        }
    }
    temp_ = parentFolder + "." + *name + ".pack-" + std::to_string(::getpid()) + "\\";
    work_ = temp_ + "work\\";
    return true;
}

void Builder::CheckAndPlace()
{
    const int count = static_cast<int>(disks_.size());
    CheckRequest check;
    check.package = *machine_.ToHost(DiskFolder(1));
    for (int disk = 2; disk <= count; ++disk)
        check.disks[disk] = *machine_.ToHost(DiskFolder(disk));
    std::string error;
    auto findings = CheckPackage(check, measure_, error);
    if (!findings) {
        result_.description.Error(0, error);
        return;
    }
    result_.check = *findings;
    if (findings->Status() == kCheckErrors)
        return;
    if (!RenameFolder(machine_, temp_, out_)) {
        result_.description.Error(0, "cannot rename the package into place as " + request_.out.string());
        return;
    }
    result_.written = true;
    const fs::path out = *machine_.ToHost(out_);
    for (int disk = 1; disk <= count; ++disk)
        result_.disks.push_back(request_.oneFolder ? out : out / ("disk" + std::to_string(disk)));
}

}  // namespace pack

PackResult BuildPackage(const PackRequest& request, const DialogMeasure& measure)
{
    PackResult result;
    pack::Builder(request, measure, result).Build();
    return result;
}

}  // namespace pelmo
