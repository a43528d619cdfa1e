// Our LHA archive component: extracts every member of an archive into one folder.
#include <algorithm>
#include <cstdint>
#include <functional>
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
#include "upgrade/lha_readers.h"
#include "upgrade/member_name.h"

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
    kUnusableName = 5,
};

// An archive path without an extension stands for that path with ".lzh".
std::string WithDefaultExtension(std::string path)
{
    if (SplitPath(path).extension.empty())
        path += GetText(Text::ArchiveExtension);
    return path;
}

// A missing target folder is made, one level deep as _mkdir makes it.
bool MakeTargetFolder(StagedView& files, const std::string& folder)
{
    FileStatus status;
    if (!GetStatus(files, folder, status)) {
        if (MkDir(files, folder) != 0 || !GetStatus(files, folder, status))
            return false;
    }
    return (status.attribute & kAttributeFolder) != 0;
}

// Copies the current member's data into `file`. The reader checks the CRC when it
// reports the end, so only a member read to its end counts as whole; but the data
// may end short of the size the header declares, so that is checked here.
Result CopyMemberData(MemberReader& reader, const StoredMember& member, ReplacementFile& file,
                      std::vector<char>& buffer, const std::function<void()>& report)
{
    std::uint64_t copied = 0;
    for (;;) {
        const long got = reader.ReadData(buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0)
            return kDamaged;
        copied += static_cast<std::uint64_t>(got);
        if (!file.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return kCannotWrite;
        report();
    }
    if (member.size && copied != *member.size)
        return kDamaged;
    return kSuccess;
}

class Extraction {
public:
    // `progress`, when set, hears how much of the archive's `size` bytes is read.
    Extraction(FolderWriter& folder, const ArchiveLibrary::Progress& progress, std::uint64_t size)
        : folder_(folder),
          progress_(progress),
          size_(size)
    {
    }

    Result Run(MemberReader& reader)
    {
        const std::function<void()> report = [&] {
            if (progress_)
                progress_(std::min(reader.BytesRead(), size_), size_);
        };
        for (;;) {
            report();
            StoredMember member;
            switch (reader.NextMember(member)) {
            case MemberReader::Next::End:
                if (progress_)
                    progress_(size_, size_);
                return kSuccess;
            case MemberReader::Next::Damaged:
                return kDamaged;
            case MemberReader::Next::Member:
                break;
            }
            if (const Result result = ExtractMember(reader, member, report); result != kSuccess)
                return result;
        }
    }

    // The stored name that could not be used, as far as code page 932 shows it.
    const std::string& unusableName() const { return unusableName_; }

private:
    Result ExtractMember(MemberReader& reader, const StoredMember& member, const std::function<void()>& report)
    {
        // Only regular files are written: folders are flattened away, links and
        // devices skipped. The reader skips the data of what is not read.
        if (!member.isFile)
            return kSuccess;
        const auto name = MemberFileName(member.path);
        if (!name) {
            unusableName_ = Utf8ToCp932Lossy(member.path);
            return kUnusableName;
        }
        if (name->empty())
            return kSuccess;

        // Names match case-insensitively, so "foo.exe" replaces an existing
        // "FOO.EXE" instead of adding a second file.
        FileStatus existing;
        if (folder_.GetStatus(*name, existing) && (existing.attribute & (kAttributeFolder | kAttributeReadOnly)))
            return kCannotWrite;
        // Members come from the package and can be extracted again, so they are
        // not flushed one by one; the rename alone keeps a broken member out.
        auto file = folder_.Replace(*name);
        if (!file)
            return kCannotWrite;
        // On any failure the work file is dropped and the old file stays as it was.
        if (const Result result = CopyMemberData(reader, member, *file, buffer_, report); result != kSuccess)
            return result;
        if (member.modified)
            file->SetModifiedTime(*member.modified);
        return file->Finish() ? kSuccess : kCannotWrite;
    }

    FolderWriter& folder_;
    const ArchiveLibrary::Progress& progress_;
    const std::uint64_t size_;
    std::vector<char> buffer_ = std::vector<char>(kChunkSize);
    std::string unusableName_;
};

// What one extraction ended with, and the member name a kUnusableName concerns.
struct Outcome {
    Result result = kSuccess;
    std::string unusableName = {};
};

class ArchiveExtraction {
public:
    ArchiveExtraction(StagedView& files, const std::string& archivePath, const std::string& folder,
                      const ArchiveLibrary::Progress& progress)
        : files_(files),
          archivePath_(archivePath),
          folder_(folder),
          progress_(progress)
    {
    }

    Outcome Run()
    {
        auto file = InputFile::Open(files_, archivePath_);
        if (!file)
            return {kNotFound};
        // libarchive settles its name conversion when the archive is opened, so the
        // scope covers the readers' whole life.
        const Utf8LocaleScope utf8;
        size_ = file->size();
        Outcome outcome = RunWith(OpenLibarchiveReader(std::move(*file)));
        // libarchive lacks methods and header forms that other archivers write, and
        // tells them from damage by no stable code; so any archive it leaves
        // unread is read again from its start by lhasa. The second pass costs time
        // only where libarchive failed, and it is sound: lhasa checks the same CRC,
        // so broken data stays broken, and members the first pass wrote are
        // written again with the same content.
        if (outcome.result == kDamaged) {
            if (auto again = InputFile::Open(files_, archivePath_))
                outcome = RunWith(OpenLhasaReader(std::move(*again)));
        }
        return outcome;
    }

private:
    Outcome RunWith(std::unique_ptr<MemberReader> reader)
    {
        if (!reader)
            return {kDamaged};
        if (!target_) {
            if (!MakeTargetFolder(files_, folder_))
                return {kCannotWrite};
            target_ = FolderWriter::Open(files_, folder_);
            if (!target_)
                return {kCannotWrite};
        }
        Extraction extraction(*target_, progress_, size_);
        const Result result = extraction.Run(*reader);
        return {result, extraction.unusableName()};
    }

    StagedView& files_;
    const std::string& archivePath_;
    const std::string& folder_;
    const ArchiveLibrary::Progress& progress_;
    std::uint64_t size_ = 0;
    std::optional<FolderWriter> target_;  // made when a reader first takes the archive
};

Text MessageFor(Result result)
{
    switch (result) {
    case kNotFound:
        return Text::ArchiveNotFound;
    case kDamaged:
        return Text::ArchiveDamaged;
    case kCannotWrite:
        return Text::ArchiveCannotWrite;
    case kUnusableName:
        return Text::ArchiveUnusableName;
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

int LhaComponent::Execute(StagedView& files, std::string_view commandLine, std::string& output, std::size_t outputSize)
{
    output.clear();
    const auto request = ParseExtractCommand(commandLine);
    if (!request) {
        PutOutput(FormatText(Text::ArchiveBadCommand, std::string(commandLine)), output, outputSize);
        return kBadCommand;
    }
    const std::string archivePath = WithDefaultExtension(request->archive);
    const Outcome outcome = ArchiveExtraction(files, archivePath, request->targetFolder, progress_).Run();
    if (outcome.result == kSuccess)
        return kSuccess;
    // The archive comes first, as in every message, so that a small buffer cuts the member's name.
    const std::string subject =
        outcome.result == kUnusableName ? archivePath + " (" + outcome.unusableName + ")" : archivePath;
    PutOutput(FormatText(MessageFor(outcome.result), subject), output, outputSize);
    return outcome.result;
}

}  // namespace pelmo
