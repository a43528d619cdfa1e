// Our LHA archive component: extracts archives through libarchive into one folder.
#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/runtime.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "platform/utf8_locale.h"
#include "res/strings.h"
#include "upgrade/archive_library.h"
#include "upgrade/command_line.h"

namespace pelmo {
namespace {

// Member data is copied in pieces of this size; a member is never held whole.
constexpr std::size_t kChunkSize = 64 * 1024;

// Results of one command line; every failure has its own nonzero value.
enum Result : int {
    kSuccess = 0,
    kBadCommand = 1,
    kNotFound = 2,
    kDamaged = 3,
    kCannotWrite = 4,
};

struct ArchiveReadFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveReadFree>;

// libarchive pulls the archive through ReadArchive, so that the platform layer
// opens the file and libarchive never sees a host path.
struct ArchiveSource {
    InputFile file;
    std::vector<char> buffer = std::vector<char>(kChunkSize);
};

la_ssize_t ReadArchive(archive* reader, void* data, const void** block)
{
    auto* source = static_cast<ArchiveSource*>(data);
    const long got = source->file.Read(source->buffer.data(), source->buffer.size());
    if (got < 0) {
        archive_set_error(reader, EIO, "cannot read the archive");
        return -1;
    }
    *block = source->buffer.data();
    return got;
}

// An archive path without an extension stands for that path with ".lzh".
std::string WithDefaultExtension(std::string path)
{
    if (SplitPath(path).extension.empty())
        path += GetText(Text::ArchiveExtension);
    return path;
}

// The part of code page 932 text after its last '\', '/' or ':'.
std::string_view BaseNameCp932(std::string_view path)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        const char c = path[i];
        if (CharLength(path, i) == 1 && (c == '\\' || c == '/' || c == ':'))
            start = i + 1;
    }
    return path.substr(start);
}

// The file name a stored member is written under: its base name in code page 932,
// so that no stored folder, drive or ".." leads out of the target folder. Empty
// when the member names nothing to write ("", ".", ".."); nothing when the name
// cannot be written in code page 932.
std::optional<std::string> MemberFileName(std::string_view utf8Path)
{
    // UTF-8 never uses these bytes inside a character, so a byte search is safe.
    const std::size_t cut = utf8Path.find_last_of("/\\:");
    const std::string_view base = cut == std::string_view::npos ? utf8Path : utf8Path.substr(cut + 1);
    const auto cp932 = Utf8ToCp932(base);
    if (!cp932)
        return std::nullopt;
    // Code page 932 writes some other characters as a separator byte (U+00A5
    // becomes 0x5C), so the converted name is cut once more.
    const std::string_view name = BaseNameCp932(*cp932);
    if (name == "." || name == "..")
        return std::string();
    return std::string(name);
}

// A missing target folder is made, one level deep as _mkdir makes it.
bool EnsureFolder(const Machine& machine, const std::string& folder)
{
    FileStatus status;
    if (!GetStatus(machine, folder, status)) {
        if (MkDir(machine, folder) != 0 || !GetStatus(machine, folder, status))
            return false;
    }
    return (status.attribute & kAttributeFolder) != 0;
}

// Copies the current member's data into `file`. libarchive checks the CRC when
// it reports the end, so only a member read to its end counts as whole; but it
// lets the data end short of the size the header declares, so that is checked here.
Result CopyMemberData(archive* reader, archive_entry* entry, ReplacementFile& file, std::vector<char>& buffer)
{
    la_int64_t copied = 0;
    for (;;) {
        const la_ssize_t got = archive_read_data(reader, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0)
            return kDamaged;
        copied += got;
        if (!file.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return kCannotWrite;
    }
    if (archive_entry_size_is_set(entry) && copied != archive_entry_size(entry))
        return kDamaged;
    return kSuccess;
}

class Extraction {
public:
    explicit Extraction(FolderWriter& folder) : folder_(folder) {}

    Result Run(archive* reader)
    {
        for (;;) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader, &entry);
            if (status == ARCHIVE_EOF)
                return kSuccess;
            // A warning still delivers a usable entry; anything worse ends the archive.
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
                return kDamaged;
            if (const Result result = ExtractMember(reader, entry); result != kSuccess)
                return result;
        }
    }

private:
    Result ExtractMember(archive* reader, archive_entry* entry)
    {
        // Only regular files are written: folders are flattened away, links and
        // devices skipped. libarchive skips the data of what is not read.
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr)
            return kSuccess;
        const char* stored = archive_entry_pathname(entry);
        if (stored == nullptr)
            return kDamaged;
        const auto name = MemberFileName(stored);
        if (!name)
            return kCannotWrite;
        if (name->empty())
            return kSuccess;

        // Names match case-insensitively, so "foo.exe" replaces an existing
        // "FOO.EXE" instead of adding a second file.
        FileStatus existing;
        if (folder_.GetStatus(*name, existing) && (existing.attribute & (kAttributeFolder | kAttributeReadOnly)))
            return kCannotWrite;
        // Members come from the package and can be extracted again, so they are
        // not flushed one by one; the rename alone keeps a broken member out.
        auto file = folder_.Replace(*name, Durability::Cached);
        if (!file)
            return kCannotWrite;
        // On any failure the work file is dropped and the old file stays as it was.
        if (const Result result = CopyMemberData(reader, entry, *file, buffer_); result != kSuccess)
            return result;
        if (archive_entry_mtime_is_set(entry))
            file->SetModifiedTime(archive_entry_mtime(entry));
        return file->Commit() ? kSuccess : kCannotWrite;
    }

    FolderWriter& folder_;
    std::vector<char> buffer_ = std::vector<char>(kChunkSize);
};

ArchiveReader OpenReader(ArchiveSource& source)
{
    ArchiveReader reader(archive_read_new());
    if (!reader)
        return nullptr;
    archive_read_support_format_lha(reader.get());
    // Stored names are code page 932; libarchive converts them to the thread's
    // locale, which the caller has made UTF-8.
    if (archive_read_set_format_option(reader.get(), "lha", "hdrcharset", "CP932") != ARCHIVE_OK)
        return nullptr;
    if (archive_read_open(reader.get(), &source, nullptr, ReadArchive, nullptr) != ARCHIVE_OK)
        return nullptr;
    return reader;
}

Result Extract(const Machine& machine, const std::string& archivePath, const std::string& folder)
{
    auto file = InputFile::Open(machine, archivePath);
    if (!file)
        return kNotFound;
    ArchiveSource source{std::move(*file)};
    // libarchive settles its name conversion when the archive is opened, so the
    // scope covers the reader's whole life.
    const Utf8LocaleScope utf8;
    ArchiveReader reader = OpenReader(source);
    if (!reader)
        return kDamaged;
    if (!EnsureFolder(machine, folder))
        return kCannotWrite;
    auto target = FolderWriter::Open(machine, folder);
    if (!target)
        return kCannotWrite;
    return Extraction(*target).Run(reader.get());
}

Text MessageFor(Result result)
{
    switch (result) {
    case kNotFound:
        return Text::ArchiveNotFound;
    case kDamaged:
        return Text::ArchiveDamaged;
    case kCannotWrite:
        return Text::ArchiveCannotWrite;
    default:
        return Text::ArchiveBadCommand;
    }
}

// The text for the user, cut to the caller's buffer less its terminating zero.
void PutOutput(std::string_view text, std::string& output, std::size_t outputSize)
{
    output = outputSize > 0 ? std::string(TruncateCp932(text, outputSize - 1)) : std::string();
}

}  // namespace

int LhaComponent::Execute(std::string_view commandLine, std::string& output, std::size_t outputSize)
{
    output.clear();
    const auto request = ParseExtractCommand(commandLine);
    if (!request) {
        PutOutput(FormatText(Text::ArchiveBadCommand, std::string(commandLine)), output, outputSize);
        return kBadCommand;
    }
    const std::string archivePath = WithDefaultExtension(request->archive);
    const Result result = Extract(machine_, archivePath, request->targetFolder);
    if (result != kSuccess)
        PutOutput(FormatText(MessageFor(result), archivePath), output, outputSize);
    return result;
}

}  // namespace pelmo
