// `pelmo pack`: archives and copies each entry's files, puts them on disks in
// order, writes info.txt, checks the result with the package check, and only
// then renames it into place.
#include "upgrade/pack/pack_builder.h"

#include <unistd.h>

#include <cstring>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "package/source_folder.h"
#include "platform/files.h"
#include "platform/letter_case.h"
#include "platform/output_file.h"
#include "platform/profile.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "res/strings.h"
#include "upgrade/check/package_check.h"
#include "upgrade/lha_writer.h"
#include "upgrade/pack/pack_description.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

constexpr std::uint64_t kSector = 512;
constexpr std::size_t kRootNames = 224;
constexpr std::uint64_t kNamesPerSector = 16;  // directory entries of 32 bytes
constexpr std::size_t kPiece = 256 * 1024;

// The system kinds a START archive is made for, as the folders of its entry name them.
const std::set<std::string> kStartKinds = {"0", "1", "2", "3", "4", "5", "99"};

std::string Key(std::string_view cp932)
{
    return UpperCase(cp932, CaseRule::FileName);
}

std::string Slashes(std::string text, char to)
{
    for (char& c : text)
        if (c == '/' || c == '\\')
            c = to;
    return text;
}

// A file as it will lie on its disk.
struct DiskFile {
    std::string path;  // code page 932, '\' between folders, below the disk's root
    std::uint64_t size = 0;
};

// What a disk holds, counted as a FAT floppy counts it: whole sectors per file,
// a directory of 32-byte names for each folder, at most 224 names in the root.
class DiskSpace {
public:
    explicit DiskSpace(std::uint64_t bytes) : sectors_(bytes / kSector) {}

    bool Fits(const std::vector<DiskFile>& files) const
    {
        DiskSpace after = *this;
        after.Add(files);
        return after.Used() <= sectors_ && after.folders_.at("").size() <= kRootNames;
    }
    void Add(const std::vector<DiskFile>& files)
    {
        for (const DiskFile& file : files) {
            fileSectors_ += (file.size + kSector - 1) / kSector;
            std::string folder;
            for (std::size_t start = 0;;) {
                const std::size_t slash = file.path.find('\\', start);
                folders_[folder].insert(Key(file.path.substr(start, slash - start)));
                if (slash == std::string::npos)
                    break;
                folder = file.path.substr(0, slash);
                start = slash + 1;
            }
        }
    }
    bool Holds(const std::string& path) const
    {
        const std::size_t slash = path.rfind('\\');
        const auto folder = folders_.find(slash == std::string::npos ? "" : path.substr(0, slash));
        return folder != folders_.end() &&
               folder->second.contains(Key(slash == std::string::npos ? path : path.substr(slash + 1)));
    }

private:
    std::uint64_t Used() const
    {
        std::uint64_t used = fileSectors_;
        for (const auto& [folder, names] : folders_)
            if (!folder.empty())
                used += (names.size() + 2 + kNamesPerSector - 1) / kNamesPerSector;  // with "." and ".."
        return used;
    }
    std::uint64_t sectors_;
    std::uint64_t fileSectors_ = 0;
    std::map<std::string, std::set<std::string>> folders_ = {{"", {}}};
};

class FileOutput final : public ArchiveOutput {
public:
    explicit FileOutput(OutputFile& file) : file_(file) {}
    bool Append(std::string_view bytes) override { return file_.Append(bytes); }
    bool Overwrite(std::uint64_t offset, std::string_view bytes) override { return file_.Overwrite(offset, bytes); }
    bool CutTo(std::uint64_t size) override { return file_.CutTo(size); }
    std::uint64_t Size() const override { return file_.Size(); }

private:
    OutputFile& file_;
};

class FileData final : public MemberData {
public:
    explicit FileData(InputFile file) : file_(std::move(file)) {}
    long Read(char* buffer, std::size_t size) override { return file_.Read(buffer, size); }
    bool Rewind() override { return file_.Seek(0); }

private:
    InputFile file_;
};

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

    void Build()
    {
        if (!Resolve())
            return;
        const auto text = ReadWholeFile(machine_, description_path_);
        if (!text) {
            result_.description.Error(0, "no " + std::string(kDescriptionName) + " in " + request_.source.string());
            return;
        }
        description_ = ParseDescription(*text, result_.description, old_.empty());
        FileStatus status;
        if (GetStatus(machine_, description_path_, status))
            newestTime_ = status.modified;
        if (result_.description.Status() == kCheckErrors || (!old_.empty() && !TakeOldVersion()))
            return;
        if (MkDir(machine_, temp_) != 0 || MkDir(machine_, work_) != 0) {
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

private:
    static std::string Shown(std::string_view cp932) { return Cp932ToUtf8Lossy(cp932); }

    static std::string WithBackslash(std::string folder)
    {
        if (folder.empty() || folder.back() != '\\')
            folder += '\\';
        return folder;
    }

    // A delta requires the version of the installed system it applies to: that
    // of OLD's settings file, as the run reads it.
    bool TakeOldVersion()
    {
        std::vector<std::string> names = {description_.fixedLines[8]};
        if (names[0] == "NULL")
            names = {"korimu1.ini", "tivonel1.ini"};
        for (const std::string& name : names) {
            if (Access(machine_, old_ + name, 0) != 0)
                continue;
            const std::string version = GetPrivateProfileString(machine_, old_ + name, GetText(Text::SectionSystem),
                                                                GetText(Text::KeyVersion), "", 256);
            description_.fixedLines[6] = version;
            return true;
        }
        result_.description.Error(0, request_.from.string() + " holds no settings file (" + Shown(names[0]) +
                                         (names.size() > 1 ? " or tivonel1.ini" : "") + ") to take the version from");
        return false;
    }

    // Whether OLD holds `installed` (below the system folder) with these bytes.
    bool SameInOld(const std::string& installed, const std::string& newPath)
    {
        auto old = InputFile::Open(machine_, old_ + installed);
        auto now = InputFile::Open(machine_, newPath);
        if (!old || !now || old->size() != now->size())
            return false;
        std::string a(kPiece, '\0'), b(kPiece, '\0');
        for (;;) {
            const long got = old->Read(a.data(), a.size());
            const long other = now->Read(b.data(), b.size());
            if (got != other || got < 0)
                return false;
            if (got == 0)
                return true;
            if (std::memcmp(a.data(), b.data(), static_cast<std::size_t>(got)) != 0)
                return false;
        }
    }

    // A delta's file to install: in the plan when it differs from OLD's.
    bool Changed(const std::string& target, const std::string& name, const std::string& newPath)
    {
        if (old_.empty())
            return true;
        const std::string installed = target + name;
        if (SameInOld(installed, newPath))
            return false;
        const bool added = Access(machine_, old_ + installed, 0) != 0;
        result_.plan.push_back((added ? "added " : "replaced ") +
                               Shown(WithBackslash(description_.fixedLines[5]) + installed));
        return true;
    }

    // Files of OLD in an archive's target folder that NEW no longer has.
    void WarnRemoved(const PackEntry& entry, const std::vector<FolderItem>& now)
    {
        if (old_.empty() || entry.target.empty())
            return;
        const auto before = ListFolder(machine_, old_ + entry.target);
        if (!before)
            return;
        std::set<std::string> names;
        for (const FolderItem& item : now)
            names.insert(Key(Utf8ToCp932Lossy(item.name)));
        for (const FolderItem& item : *before)
            if (item.isFile && !names.contains(Key(Utf8ToCp932Lossy(item.name))))
                result_.description.Warn(entry.line,
                                         request_.from.string() + " has " + Shown(entry.target) + item.name +
                                             ", which the package does not install: a run cannot remove it");
    }

    bool Resolve()
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
        if (Access(machine_, out_, 0) == 0) {
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

    std::string DiskFolder(int disk) const
    {
        return request_.oneFolder ? temp_ : temp_ + "disk" + std::to_string(disk) + "\\";
    }

    // Makes `root` and the folders of `path` below it, one level at a time.
    bool MakeFolders(const std::string& root, const std::string& path)
    {
        if (Access(machine_, root, 0) != 0 && MkDir(machine_, root) != 0)
            return false;
        for (std::size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
            const std::string folder = root + path.substr(0, slash);
            if (Access(machine_, folder, 0) != 0 && MkDir(machine_, folder) != 0)
                return false;
        }
        return true;
    }

    // Copies a file of SOURCE, keeping its last-write time.
    std::optional<std::uint64_t> Copy(int line, const std::string& sourcePath, const std::string& to)
    {
        FileStatus status;
        auto in = InputFile::Open(machine_, source_ + sourcePath);
        if (!in || !GetStatus(machine_, source_ + sourcePath, status)) {
            result_.description.Error(line,
                                      "no file " + Shown(Slashes(sourcePath, '/')) + " in " + request_.source.string());
            return std::nullopt;
        }
        auto out = OutputFile::Create(machine_, to);
        std::string piece(kPiece, '\0');
        bool good = out.has_value();
        for (long got; good && (got = in->Read(piece.data(), piece.size())) != 0;)
            good = got > 0 && out->Append(std::string_view(piece.data(), static_cast<std::size_t>(got)));
        if (!good || !out->Close(status.modified)) {
            result_.description.Error(line, "cannot copy " + Shown(Slashes(sourcePath, '/')));
            return std::nullopt;
        }
        return out->Size();
    }

    // An archive of the files of a SOURCE folder.
    // For a delta entry, only the members that differ from OLD's.
    std::optional<std::uint64_t> Archive(int line, const std::string& folder, const std::string& to,
                                         const PackEntry* delta = nullptr)
    {
        const std::string shownFolder = Shown(Slashes(folder, '/'));
        const auto items = ListFolder(machine_, source_ + folder);
        if (!items) {
            result_.description.Error(line, "no folder " + shownFolder + " in " + request_.source.string());
            return std::nullopt;
        }
        if (delta)
            WarnRemoved(*delta, *items);
        auto out = OutputFile::Create(machine_, to);
        if (!out) {
            result_.description.Error(line, "cannot write " + Shown(to));
            return std::nullopt;
        }
        FileOutput output(*out);
        std::size_t skipped = 0;
        LhaWriter writer(output);
        std::time_t newest = 0;
        std::size_t members = 0;
        for (const FolderItem& item : *items) {
            const std::string shown = shownFolder + "/" + item.name;
            if (!item.isFile) {
                result_.description.Error(line, shown + (item.isFolder ? " is a folder: the run extracts every "
                                                                         "member into one folder, so an archive "
                                                                         "holds files only"
                                                                       : " is not a regular file"));
                return std::nullopt;
            }
            const auto name = Utf8ToCp932(item.name);
            if (!name) {
                result_.description.Error(line, "the member name " + shown + " cannot be written in code page 932");
                return std::nullopt;
            }
            if (delta && !Changed(delta->target, *name, source_ + folder + "\\" + *name)) {
                ++skipped;
                continue;
            }
            auto in = InputFile::Open(machine_, source_ + folder + "\\" + *name);
            if (!in) {
                result_.description.Error(line, "cannot read " + shown);
                return std::nullopt;
            }
            FileData data(std::move(*in));
            const LhaAdded added = writer.Add(item.name, item.modified, data, item.size);
            if (added != LhaAdded::Compressed && added != LhaAdded::Stored) {
                result_.description.Error(line, added == LhaAdded::TooLarge ? shown + " has 4 GiB or more"
                                                : added == LhaAdded::NameTooLong
                                                    ? "the member name " + shown + " is too long"
                                                : added == LhaAdded::ReadFailed ? "cannot read " + shown
                                                                                : "cannot write " + Shown(to));
                return std::nullopt;
            }
            newest = std::max(newest, item.modified);
            ++members;
        }
        if (members == 0 && skipped > 0) {
            // Nothing differs from OLD: the entry goes.
            unchanged_ = true;
            out->Close(newest);
            return 0;
        }
        if (members == 0) {
            result_.description.Error(line, "the folder " + shownFolder + " holds no files to archive");
            return std::nullopt;
        }
        if (!writer.Finish() || !out->Close(newest)) {
            result_.description.Error(line, "cannot write " + Shown(to));
            return std::nullopt;
        }
        return out->Size();
    }

    // The files an entry puts on its disk, made in the work folder.
    std::optional<std::vector<Produced>> Produce(const PackEntry& entry)
    {
        const auto folder = Utf8ToCp932(Slashes(entry.source, '\\'));
        if (!folder) {
            result_.description.Error(entry.line, entry.source + " cannot be reached: its name has a character "
                                                                 "code page 932 does not hold");
            return std::nullopt;
        }
        std::vector<Produced> produced;
        auto make = [&](const std::string& diskPath, auto&& write) {
            Produced one{std::to_string(++workFiles_), {diskPath, 0}};
            const auto size = write(work_ + one.work);
            if (!size)
                return false;
            one.file.size = *size;
            produced.push_back(std::move(one));
            return true;
        };
        switch (entry.kind) {
        case PackEntryKind::Copy: {
            // The run installs a plain file under its base name, upper-cased.
            const std::size_t slash = entry.name.rfind('\\');
            const std::string base =
                UpperCase(slash == std::string::npos ? entry.name : entry.name.substr(slash + 1), CaseRule::Package);
            if (!Changed(entry.target, base, source_ + *folder))
                break;
            if (!make(entry.name, [&](const std::string& to) { return Copy(entry.line, *folder, to); }))
                return std::nullopt;
            break;
        }
        case PackEntryKind::Archive:
            if (!make(entry.name + ".lzh",
                      [&](const std::string& to) { return Archive(entry.line, *folder, to, &entry); }))
                return std::nullopt;
            if (unchanged_) {
                produced.clear();
                unchanged_ = false;
            }
            break;
        case PackEntryKind::Start: {
            const auto kinds = ListFolder(machine_, source_ + *folder);
            if (!kinds) {
                result_.description.Error(entry.line, "no folder " + entry.source + " in " + request_.source.string());
                return std::nullopt;
            }
            for (const FolderItem& kind : *kinds) {
                if (!kind.isFolder || !kStartKinds.contains(kind.name)) {
                    result_.description.Error(entry.line, entry.source + "/" + kind.name +
                                                              ": a START folder holds only the folders 0 to 5 and "
                                                              "99, one for each system kind");
                    return std::nullopt;
                }
                if (!make(entry.name + kind.name + ".lzh",
                          [&](const std::string& to) { return Archive(entry.line, *folder + "\\" + kind.name, to); }))
                    return std::nullopt;
            }
            if (produced.empty()) {
                result_.description.Error(entry.line, "the folder " + entry.source + " holds no system kinds");
                return std::nullopt;
            }
            break;
        }
        }
        return produced;
    }

    // Moves an entry's files onto a disk.
    bool Place(int line, int disk, std::vector<Produced>& produced)
    {
        for (Produced& one : produced) {
            const bool taken =
                request_.oneFolder ? names_.contains(Key(one.file.path)) : Disk(disk).Holds(one.file.path);
            if (taken) {
                result_.description.Error(line,
                                          Shown(one.file.path) + " is on disk " + std::to_string(disk) + " already");
                return false;
            }
            names_.insert(Key(one.file.path));
        }
        std::vector<DiskFile> files;
        for (Produced& one : produced) {
            const std::string root = DiskFolder(disk);
            if (!MakeFolders(root, one.file.path) || !RenameFolder(machine_, work_ + one.work, root + one.file.path)) {
                result_.description.Error(line,
                                          "cannot put " + Shown(one.file.path) + " on disk " + std::to_string(disk));
                return false;
            }
            files.push_back(one.file);
        }
        Disk(disk).Add(files);
        return true;
    }

    // A new disk holds the main picture again: the main window draws it from
    // the disk in the drive whenever it is painted.
    DiskSpace& Disk(int disk)
    {
        while (static_cast<int>(disks_.size()) < disk) {
            disks_.emplace_back(request_.diskSize);
            if (disks_.size() > 1 && !description_.pictures[0].empty())
                disks_.back().Add({{mainPicturePath_, mainPictureSize_}});
        }
        return disks_[static_cast<std::size_t>(disk - 1)];
    }

    std::uint64_t InfoTxtBound() const
    {
        std::uint64_t size = 0;
        for (const std::string& line : description_.fixedLines)
            size += line.size() + 2;
        for (const PackEntry& entry : description_.entries)
            size += 2 + 1 + 1 + 1 + entry.name.size() + 1 + entry.target.size() + 2;  // disk numbers up to 99
        return size;
    }

    bool BuildDisks()
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
        std::string info;
        for (const std::string& line : description_.fixedLines)
            info += line + "\r\n";
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
                result_.description.Error(
                    entry.line, "disk " + std::to_string(entry.disk) + " after disk " + std::to_string(current) +
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
            info += std::to_string(disk) + (entry.kind == PackEntryKind::Copy ? ",0," : ",1,") + entry.name + "," +
                    entry.target + "\r\n";
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
        auto file = OutputFile::Create(machine_, DiskFolder(1) + "info.txt");
        if (!file || !file->Append(info) || !file->Close(newestTime_)) {
            result_.description.Error(0, "cannot write info.txt");
            return false;
        }
        return true;
    }

    void CheckAndPlace()
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

    const Machine machine_ = Machine::BuiltIn();
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

}  // namespace

PackResult BuildPackage(const PackRequest& request, const DialogMeasure& measure)
{
    PackResult result;
    Builder(request, measure, result).Build();
    return result;
}

}  // namespace pelmo
