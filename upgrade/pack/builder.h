// The state of one `pelmo pack` and its steps, each step in the file named after it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_view.h"
#include "platform/machine.h"
#include "platform/output_file.h"
#include "platform/text.h"
#include "upgrade/pack/disk_space.h"
#include "upgrade/pack/pack_builder.h"
#include "upgrade/pack/pack_description.h"

namespace pelmo::pack {

// Files are copied and compared in pieces of this size.
inline constexpr std::size_t kPiece = 256 * 1024;

inline std::string Slashes(std::string text, char to)
{
    for (char& c : text)
        if (c == '/' || c == '\\')
            c = to;
    return text;
}

// One file an entry puts on its disk, written first into the work folder.
struct Produced {
    std::string work;  // name in the work folder
    DiskFile file;
};

class Builder {
public:
    Builder(const PackRequest& request, const DialogMeasure& measure, PackResult& result)
        : request_(request),
          measure_(measure),
          result_(result)
    {
    }

    // pack_builder.cpp: the whole pack, from the description to the package in place.
    void Build();

private:
    static std::string Shown(std::string_view cp932) { return Cp932ToUtf8Lossy(cp932); }

    static std::string WithBackslash(std::string folder)
    {
        if (folder.empty() || folder.back() != '\\')
            folder += '\\';
        return folder;
    }

    // pack_builder.cpp
    bool Resolve();
    std::string DiskFolder(int disk) const;
    bool MakeFolders(const std::string& root, const std::string& path);
    void CheckAndPlace();

    // pack_delta.cpp
    bool TakeOldVersion();
    bool SameInOld(const std::string& installed, const std::string& newPath);
    bool Changed(const std::string& target, const std::string& name, const std::string& newPath);
    void WarnRemoved(const PackEntry& entry, const std::vector<FolderItem>& now);

    // pack_entries.cpp
    std::optional<std::uint64_t> Copy(int line, const std::string& sourcePath, const std::string& to);
    std::optional<std::uint64_t> Archive(int line, const std::string& folder, const std::string& to,
                                         const PackEntry* delta = nullptr);
    std::optional<std::vector<Produced>> Produce(const PackEntry& entry);

    // pack_disks.cpp
    bool Place(int line, int disk, std::vector<Produced>& produced);
    DiskSpace& Disk(int disk);
    bool BuildDisks();

    // pack_info_txt.cpp
    std::uint64_t InfoTxtBound() const;
    std::string InfoTxtLine(const PackEntry& entry, int disk) const;
    bool WriteInfoTxt(const std::string& entryLines);

    const Machine machine_ = Machine::BuiltIn();
    // SOURCE, OLD and the new tree are read as they are on disk: pack stages nothing.
    const DiskView disk_{machine_};
    const PackRequest& request_;
    const DialogMeasure& measure_;
    PackResult& result_;
    PackDescription description_;
    std::string source_, out_, temp_, work_;
    std::vector<DiskSpace> disks_;
    std::set<std::string> names_;  // every file placed, for one folder
    std::string mainPicturePath_;
    std::uint64_t mainPictureSize_ = 0;
    std::time_t newestTime_ = 0;
    int workFiles_ = 0;
    std::string old_;  // OLD's Windows form, for a delta
    std::string description_path_;
    bool unchanged_ = false;  // the last archive of a delta had nothing to hold
};

}  // namespace pelmo::pack
