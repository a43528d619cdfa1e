// Staged replacing of files on Windows-form paths: one file, or many into one folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/letter_case.h"
#include "platform/streams.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Buffers of files written piece by piece, and of the installed file compared
// meanwhile. They stay small enough that the allocator reuses them from one file
// to the next instead of mapping and faulting in fresh pages for every file.
constexpr std::size_t kPendingSize = 32 * 1024;
constexpr std::size_t kCompareChunk = 16 * 1024;

}  // namespace

// --- ReplacementFile ---

std::optional<ReplacementFile> ReplacementFile::Create(StagedView& files, std::string_view target)
{
    auto targetHost = files.ToHost(target);
    if (!targetHost || target.empty())
        return std::nullopt;
    return CreateAt(files, *targetHost);
}

std::optional<ReplacementFile> ReplacementFile::CreateAt(StagedView& files, const fs::path& targetHost)
{
    ReplacementFile file;
    file.targetHost_ = targetHost.string();
    file.files_ = &files;
    const auto existing = files.Status(targetHost);
    // A name the disk refuses (too long, below a file) fails here, not at the commit.
    if (!existing && errno != ENOENT)
        return std::nullopt;
    file.mode_ = existing ? existing->st_mode & 07777 : 0666 & ~host::CurrentUmask();
    if (existing && S_ISREG(existing->st_mode)) {
        file.installed_ = files.OpenForReading(targetHost, O_NOFOLLOW);
        if (file.installed_.valid() && ::fstat(file.installed_.get(), &file.installedStat_) == 0)
            return file;  // the work file waits for the first byte that differs
        file.installed_.Reset();
    }
    if (!file.StartWorkFile())
        return std::nullopt;  // and nothing removed that we did not create
    file.pending_.reserve(kPendingSize);
    return file;
}

bool ReplacementFile::SameAsInstalled(std::string_view bytes)
{
    compared_.resize(kCompareChunk);
    while (!bytes.empty()) {
        const std::size_t want = std::min(bytes.size(), compared_.size());
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(installed_.get(), compared_.data() + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got += static_cast<std::size_t>(n);
        }
        if (bytes.compare(0, want, compared_.data(), want) != 0)
            return false;
        bytes.remove_prefix(want);
    }
    return true;
}

bool ReplacementFile::InstalledEnds()
{
    char byte = 0;
    ssize_t n = 0;
    do
        n = ::read(installed_.get(), &byte, 1);
    while (n < 0 && errno == EINTR);
    return n == 0;
}

bool ReplacementFile::StartWorkFile()
{
    // Work files are named for the run, so that recovery finds them.
    auto created = files_->NewWorkFile(fs::path(targetHost_).parent_path());
    if (!created)
        return false;
    work_ = host::RemovedUnlessKept(std::move(created->first));
    fd_ = std::move(created->second);
    // Root may open a read-only work file anyway; the mode is set explicitly.
    ::fchmod(fd_.get(), mode_);
    // The bytes that matched so far come from the installed file.
    std::uint64_t left = size_;
    bool written = true;
    if (left > 0 && ::lseek(installed_.get(), 0, SEEK_SET) == 0)
        host::ReadPieces(installed_.get(), [&](std::string_view piece) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
            left -= take;
            written = host::WriteAll(fd_.get(), piece.data(), take);
            return written && left > 0;
        });
    installed_.Reset();
    return written && left == 0;
}

bool ReplacementFile::Write(std::string_view bytes)
{
    if (installed_.valid() && !failed_) {
        if (SameAsInstalled(bytes)) {
            size_ += bytes.size();
            checksum_ = Crc32(checksum_, bytes);
            return true;
        }
        if (!StartWorkFile()) {
            failed_ = true;
            return false;
        }
    }
    if (!fd_.valid() || failed_)
        return false;
    size_ += bytes.size();
    checksum_ = Crc32(checksum_, bytes);
    // Lines are gathered into one write; the buffer never grows past its first
    // size, and a piece as large as it goes to the kernel without a copy.
    if (pending_.size() + bytes.size() > kPendingSize) {
        Flush();
        if (bytes.size() >= kPendingSize) {
            if (!failed_ && !host::WriteAll(fd_.get(), bytes.data(), bytes.size()))
                failed_ = true;
            return !failed_;
        }
    }
    pending_.append(bytes);
    return !failed_;
}

void ReplacementFile::Flush()
{
    if (fd_.valid() && !failed_ && !host::WriteAll(fd_.get(), pending_.data(), pending_.size()))
        failed_ = true;
    pending_.clear();
}

void ReplacementFile::SetReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
}

void ReplacementFile::SetModifiedTime(std::time_t seconds, long nanoseconds)
{
    modified_ = std::make_pair(seconds, nanoseconds);
}

bool ReplacementFile::Finish()
{
    if (installed_.valid() && !failed_) {
        // Equal bytes, attribute and last-write time: nothing to stage.
        const mode_t mode = installedStat_.st_mode & 07777;
        const bool sameMode = !readOnly_ || (mode & host::kWriteBits) == 0;
        const bool sameTime = !modified_ || (modified_->first == installedStat_.st_mtim.tv_sec &&
                                             modified_->second == installedStat_.st_mtim.tv_nsec);
        if (!stageAlways_ && InstalledEnds() && sameMode && sameTime) {
            installed_.Reset();
            files_->KeepUnchanged(targetHost_, size_, checksum_);
            return true;
        }
        if (!StartWorkFile())
            return false;
    }
    if (!fd_.valid())
        return false;
    Flush();
    bool ok = !failed_;
    if (ok && readOnly_) {
        struct stat st {};
        ok = ::fstat(fd_.get(), &st) == 0 && ::fchmod(fd_.get(), st.st_mode & 07777 & ~host::kWriteBits) == 0;
    }
    if (ok && modified_) {
        struct timespec times[2] = {{0, UTIME_OMIT}, {modified_->first, modified_->second}};
        ok = ::futimens(fd_.get(), times) == 0;
    }
    // Its write-back starts now, so that the commit's flush finds it done.
    if (ok && !files_->discardOnly())
        ::sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    ok = fd_.Reset() && ok;
    if (!ok) {
        work_.Remove();
        return false;
    }
    files_->Replace(targetHost_, {work_.path(), size_, checksum_});
    work_.Keep();
    return true;
}

void ReplacementFile::Discard()
{
    installed_.Reset();
    fd_.Reset();
    work_.Remove();
}

// --- FolderWriter ---

std::optional<FolderWriter> FolderWriter::Open(StagedView& files, std::string_view folder)
{
    auto host = files.ToHost(folder);
    if (!host || folder.empty())
        return std::nullopt;
    FolderWriter writer;
    writer.host_ = *host;
    writer.files_ = &files;
    if (!files.List(writer.host_, [&writer](std::string_view name, bool) { writer.Remember(std::string(name)); }))
        return std::nullopt;
    return writer;
}

bool FolderWriter::GetStatus(std::string_view name, FileStatus& status) const
{
    if (name.empty())
        return false;
    const auto st = files_->Status(host_ / OnDiskName(name));
    if (st)
        status = StatusFromHost(*st);
    return st.has_value();
}

std::optional<ReplacementFile> FolderWriter::Replace(std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    const std::string onDisk = OnDiskName(name);
    auto file = ReplacementFile::CreateAt(*files_, host_ / onDisk);
    if (file)
        Remember(onDisk);
    return file;
}

std::string FolderWriter::OnDiskName(std::string_view name) const
{
    std::string utf8 = Cp932ToUtf8(name).value_or(Cp932ToUtf8Lossy(name));
    if (names_.contains(utf8))
        return utf8;
    if (auto match = folded_.find(UpperCase(utf8, CaseRule::FileName)); match != folded_.end())
        return match->second;
    return utf8;
}

void FolderWriter::Remember(const std::string& onDisk)
{
    names_.insert(onDisk);
    auto [entry, added] = folded_.try_emplace(UpperCase(onDisk, CaseRule::FileName), onDisk);
    if (!added && onDisk < entry->second)
        entry->second = onDisk;
}

}  // namespace pelmo
