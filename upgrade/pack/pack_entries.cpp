// The files of each entry, made in the work folder: plain copies and LHA archives.
#include "upgrade/pack/builder.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/letter_case.h"
#include "platform/streams.h"
#include "upgrade/lha_writer.h"

namespace pelmo::pack {
namespace {

// The system kinds a START archive is made for, as the folders of its entry name them.
const std::set<std::string> kStartKinds = {"0", "1", "2", "3", "4", "5", "99"};

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

}  // namespace

// Copies a file of SOURCE, keeping its last-write time.
std::optional<std::uint64_t> Builder::Copy(int line, const std::string& sourcePath, const std::string& to)
{
    FileStatus status;
    auto in = InputFile::Open(disk_, source_ + sourcePath);
    if (!in || !GetStatus(disk_, source_ + sourcePath, status)) {
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
std::optional<std::uint64_t> Builder::Archive(int line, const std::string& folder, const std::string& to,
                                              const PackEntry* delta)
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
        auto in = InputFile::Open(disk_, source_ + folder + "\\" + *name);
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
std::optional<std::vector<Produced>> Builder::Produce(const PackEntry& entry)
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
        if (!make(entry.name + ".lzh", [&](const std::string& to) { return Archive(entry.line, *folder, to, &entry); }))
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

}  // namespace pelmo::pack
