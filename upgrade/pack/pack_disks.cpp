// Puts each entry's files on a disk in order, and the main picture on every later disk.
#include "upgrade/pack/builder.h"

#include "platform/files.h"

namespace pelmo::pack {

std::string Builder::DiskFolder(int disk) const
{
    return request_.oneFolder ? temp_ : temp_ + "disk" + std::to_string(disk) + "\\";
}

// Makes `root` and the folders of `path` below it, one level at a time.
bool Builder::MakeFolders(const std::string& root, const std::string& path)
{
    if (Access(disk_, root, 0) != 0 && !MakeFolder(machine_, root))
        return false;
    for (std::size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
        const std::string folder = root + path.substr(0, slash);
        if (Access(disk_, folder, 0) != 0 && !MakeFolder(machine_, folder))
            return false;
    }
    return true;
}

// Moves an entry's files onto a disk.
bool Builder::Place(int line, int disk, std::vector<Produced>& produced)
{
    for (Produced& one : produced) {
        const bool taken = request_.oneFolder ? names_.contains(Key(one.file.path)) : Disk(disk).Holds(one.file.path);
        if (taken) {
            result_.description.Error(line, Shown(one.file.path) + " is on disk " + std::to_string(disk) + " already");
            return false;
        }
        names_.insert(Key(one.file.path));
    }
    std::vector<DiskFile> files;
    for (Produced& one : produced) {
        const std::string root = DiskFolder(disk);
        if (!MakeFolders(root, one.file.path) || !RenameFolder(machine_, work_ + one.work, root + one.file.path)) {
            result_.description.Error(line, "cannot put " + Shown(one.file.path) + " on disk " + std::to_string(disk));
            return false;
        }
        files.push_back(one.file);
    }
    Disk(disk).Add(files);
    return true;
}

// A new disk holds the main picture again: the main window draws it from
// the disk in the drive whenever it is painted.
DiskSpace& Builder::Disk(int disk)
{
    while (static_cast<int>(disks_.size()) < disk) {
        disks_.emplace_back(request_.diskSize);
        if (disks_.size() > 1 && !description_.pictures[0].empty())
            disks_.back().Add({{mainPicturePath_, mainPictureSize_}});
    }
    return disks_[static_cast<std::size_t>(disk - 1)];
}

bool Builder::BuildDisks()
{
    // Disk 1: info.txt and the pictures, before any entry.
    std::vector<DiskFile> first = {{"info.txt", InfoTxtBound()}};
    std::set<std::string> pictures;
    for (std::size_t i = 0; i < 4; ++i) {
        if (description_.pictures[i].empty())
            continue;
        const std::string& path = description_.fixedLines[10 + i];
        if (!pictures.insert(Key(path)).second)
            continue;
        std::vector<Produced> picture = {{std::to_string(++workFiles_), {path, 0}}};
        const auto size = Copy(description_.pictureLines[i], path, work_ + picture[0].work);
        if (!size)
            return false;
        picture[0].file.size = *size;
        if (i == 0) {
            mainPicturePath_ = path;
            mainPictureSize_ = *size;
        }
        if (!Place(description_.pictureLines[i], 1, picture))
            return false;
    }
    if (!Disk(1).Fits(first)) {
        result_.description.Error(0, "info.txt and the pictures do not fit on one disk");
        return false;
    }
    Disk(1).Add(first);

    int current = 1;
    std::string entryLines;
    for (const PackEntry& entry : description_.entries) {
        auto produced = Produce(entry);
        if (!produced)
            return false;
        if (produced->empty())
            continue;  // a delta's entry with nothing that differs
        std::vector<DiskFile> files;
        std::uint64_t bytes = 0;
        for (const Produced& one : *produced) {
            files.push_back(one.file);
            bytes += one.file.size;
        }
        int disk = entry.disk != 0 ? entry.disk : current;
        if (entry.disk != 0 && entry.disk < current) {
            result_.description.Error(entry.line, "disk " + std::to_string(entry.disk) + " after disk " +
                                                      std::to_string(current) +
                                                      ": the run asks for disks in order and never for disk 1 again");
            return false;
        }
        if (!Disk(disk).Fits(files)) {
            if (entry.disk == 0 && Disk(disk + 1).Fits(files)) {
                ++disk;
            } else {
                result_.description.Error(entry.line, Shown(entry.name) + " needs " + std::to_string(bytes) +
                                                          " bytes, more than disk " + std::to_string(disk) +
                                                          (entry.disk == 0 ? " or an empty disk" : "") +
                                                          " has room for");
                return false;
            }
        }
        if (!Place(entry.line, disk, *produced))
            return false;
        current = disk;
        entryLines += InfoTxtLine(entry, disk);
    }
    // A disk the entries skipped is there all the same, empty, as the check expects.
    for (int disk = 1; disk <= static_cast<int>(disks_.size()); ++disk)
        if (!MakeFolders(DiskFolder(disk), "")) {
            result_.description.Error(0, "cannot make the folder of disk " + std::to_string(disk));
            return false;
        }
    // Every later disk holds the main picture again.
    if (!mainPicturePath_.empty())
        for (int disk = 2; disk <= static_cast<int>(disks_.size()) && !request_.oneFolder; ++disk) {
            const std::string root = DiskFolder(disk);
            if (!MakeFolders(root, mainPicturePath_) ||
                !Copy(description_.pictureLines[0], mainPicturePath_, root + mainPicturePath_))
                return false;
        }
    return WriteInfoTxt(entryLines);
}

}  // namespace pelmo::pack
