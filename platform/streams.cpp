// Streamed reading and crash-safe replacing of files on Windows-form paths.
#include "platform/streams.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/letter_case.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Buffers of files read and written piece by piece. They stay small enough
// that the allocator reuses them from one file to the next instead of mapping
// and faulting in fresh pages for every file, which was half the system time of
// a master conversion.
constexpr std::size_t kPendingSize = 32 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;

}  // namespace

// --- InputFile ---

std::optional<InputFile> InputFile::Open(const Machine& machine, std::string_view path)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return std::nullopt;
    if (const Stage* stage = machine.stage())
        if (const StagedFile* staged = stage->Find(*host))
            host = staged->work;
    // Only a regular file is read: opening a pipe would wait for a writer (hence
    // O_NONBLOCK, cleared again below), and a device may give bytes without end.
    host::FileDescriptor fd(::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd.get(), F_SETFL, 0) != 0)
        return std::nullopt;
    return InputFile(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

long InputFile::Read(void* buffer, std::size_t size)
{
    for (;;) {
        ssize_t got = ::read(fd_.get(), buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got > 0)
            position_ += static_cast<std::uint64_t>(got);
        return static_cast<long>(got);
    }
}

bool InputFile::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return false;
    if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) < 0)
        return false;
    position_ = offset;
    return true;
}

// --- ReplacementFile ---

std::optional<ReplacementFile> ReplacementFile::Create(const Machine& machine, std::string_view target,
                                                       std::optional<std::string_view> workPath, Durability durability)
{
    auto targetHost = machine.ToHost(target);
    if (!targetHost || target.empty())
        return std::nullopt;
    std::optional<fs::path> workHost;
    if (workPath) {
        workHost = machine.ToHost(*workPath);
        if (!workHost)
            return std::nullopt;
    }
    return CreateAt(*targetHost, workHost, durability, machine.stage());
}

std::optional<ReplacementFile> ReplacementFile::CreateAt(const fs::path& targetHost,
                                                         const std::optional<fs::path>& workHost, Durability durability,
                                                         Stage* stage)
{
    ReplacementFile file;
    file.targetHost_ = targetHost.string();
    file.durability_ = durability;
    file.stage_ = stage;
    mode_t mode = 0666 & ~host::CurrentUmask();
    if (auto existing = stage ? stage->Stat(targetHost) : host::Stat(targetHost)) {
        mode = existing->st_mode & 07777;
        // Replacing an installed file is flushed all the same: after a power loss
        // some file systems would otherwise show it empty.
        file.durability_ = Durability::Flushed;
    }
    file.mode_ = mode;
    std::string work;
    if (stage) {
        if (auto existing = stage->Stat(targetHost); existing && S_ISREG(existing->st_mode)) {
            const StagedFile* staged = stage->Find(targetHost);
            file.installed_.Reset(
                ::open(staged ? staged->work.c_str() : targetHost.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
            if (file.installed_.valid() && ::fstat(file.installed_.get(), &file.installedStat_) == 0)
                return file;  // the work file waits for the first byte that differs
            file.installed_.Reset();
        }
        // Staged work files are named for the run, so that recovery finds them.
        auto created = stage->NewWorkFile(targetHost.parent_path());
        if (!created)
            return std::nullopt;
        work = std::move(created->first);
        file.fd_ = std::move(created->second);
    } else if (workHost) {
        work = workHost->string();
        // An old work file left behind is emptied and reused.
        file.fd_.Reset(::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    } else {
        work = (targetHost.parent_path() / ".pelmo-XXXXXX").string();
        file.fd_.Reset(::mkstemp(work.data()));
    }
    if (!file.fd_.valid())
        return std::nullopt;  // and nothing removed that we did not create
    file.work_ = host::RemovedUnlessKept(std::move(work));
    // Root may open a read-only work file anyway; the mode is set explicitly.
    ::fchmod(file.fd_.get(), mode);
    file.pending_.reserve(kPendingSize);
    return file;
}

bool ReplacementFile::SameAsInstalled(std::string_view bytes)
{
    compared_.resize(kReadChunk);
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
    auto created = stage_->NewWorkFile(fs::path(targetHost_).parent_path());
    if (!created)
        return false;
    work_ = host::RemovedUnlessKept(std::move(created->first));
    fd_ = std::move(created->second);
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

bool ReplacementFile::Commit()
{
    if (installed_.valid() && !failed_) {
        // Equal bytes, attribute and last-write time: nothing to stage.
        const mode_t mode = installedStat_.st_mode & 07777;
        const bool sameMode = !readOnly_ || (mode & host::kWriteBits) == 0;
        const bool sameTime = !modified_ || (modified_->first == installedStat_.st_mtim.tv_sec &&
                                             modified_->second == installedStat_.st_mtim.tv_nsec);
        if (!stageAlways_ && InstalledEnds() && sameMode && sameTime) {
            installed_.Reset();
            stage_->NoteUnchanged(targetHost_, size_, checksum_);
            return true;
        }
        if (!StartWorkFile())
            return false;
    }
    if (!fd_.valid())
        return false;
    Flush();
    // A staged file is made durable with all the others at the commit.
    const bool flushed = durability_ == Durability::Flushed && stage_ == nullptr;
    bool ok = !failed_ && (!flushed || ::fsync(fd_.get()) == 0);
    if (ok && readOnly_) {
        struct stat st {};
        ok = ::fstat(fd_.get(), &st) == 0 && ::fchmod(fd_.get(), st.st_mode & 07777 & ~host::kWriteBits) == 0;
    }
    if (ok && modified_) {
        struct timespec times[2] = {{0, UTIME_OMIT}, {modified_->first, modified_->second}};
        ok = ::futimens(fd_.get(), times) == 0;
    }
    if (ok && stage_ != nullptr) {
        // Its write-back starts now, so that the commit's flush finds it done.
        if (!stage_->discardOnly())
            ::sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        ok = fd_.Reset();
        if (ok) {
            stage_->Register(targetHost_, {work_.path(), size_, checksum_});
            work_.Keep();
            return true;
        }
    }
    ok = fd_.Reset() && ok;
    if (ok)
        ok = ::rename(work_.path().c_str(), targetHost_.c_str()) == 0;
    if (!ok) {
        work_.Remove();
        return false;
    }
    work_.Keep();
    if (!flushed)
        return true;
    // Make the rename itself durable.
    int folder = ::open(fs::path(targetHost_).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void ReplacementFile::Discard()
{
    installed_.Reset();
    fd_.Reset();
    work_.Remove();
}

// --- FolderWriter ---

std::optional<FolderWriter> FolderWriter::Open(const Machine& machine, std::string_view folder)
{
    auto host = machine.ToHost(folder);
    if (!host || folder.empty())
        return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(host->c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    FolderWriter writer;
    writer.host_ = *host;
    writer.stage_ = machine.stage();
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && !(writer.stage_ && writer.stage_->IsOwnWorkFile(name)))
            writer.Remember(std::string(name));
    }
    if (writer.stage_)
        for (const std::string& name : writer.stage_->NamesIn(writer.host_))
            writer.Remember(name);
    return writer;
}

bool FolderWriter::GetStatus(std::string_view name, FileStatus& status) const
{
    if (name.empty())
        return false;
    const fs::path path = host_ / OnDiskName(name);
    const StagedFile* staged = stage_ ? stage_->Find(path) : nullptr;
    const auto st = host::Stat(staged ? fs::path(staged->work) : path);
    if (st)
        status = StatusFromHost(*st);
    return st.has_value();
}

std::optional<ReplacementFile> FolderWriter::Replace(std::string_view name, Durability durability,
                                                     std::optional<std::string_view> workName)
{
    if (name.empty() || (workName && workName->empty()))
        return std::nullopt;
    const std::string onDisk = OnDiskName(name);
    std::optional<fs::path> workHost;
    if (workName && stage_ == nullptr) {
        const std::string work = OnDiskName(*workName);
        workHost = host_ / work;
        // Committed it is renamed away, dropped it is removed: either way it is
        // not there for the next name.
        Forget(work);
    }
    auto file = ReplacementFile::CreateAt(host_ / onDisk, workHost, durability, stage_);
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

void FolderWriter::Forget(const std::string& onDisk)
{
    if (names_.erase(onDisk) == 0)
        return;
    // Another spelling of the same name may be left to take its place.
    const std::string key = UpperCase(onDisk, CaseRule::FileName);
    folded_.erase(key);
    for (const std::string& name : names_) {
        if (UpperCase(name, CaseRule::FileName) != key)
            continue;
        auto [entry, added] = folded_.try_emplace(key, name);
        if (!added && name < entry->second)
            entry->second = name;
    }
}

// --- TextReader ---

namespace {

// Where the line that starts at or before `from` stops: its LF or a Ctrl-Z,
// whichever comes first. Two memchr passes, because find_first_of with a set of
// two looks the set up for every byte and made reading text a third of the cost
// of converting it.
std::size_t LineStop(std::string_view buffer, std::size_t from)
{
    if (from >= buffer.size())
        return std::string::npos;
    const char* start = buffer.data() + from;
    const std::size_t length = buffer.size() - from;
    const auto* lineFeed = static_cast<const char*>(std::memchr(start, '\n', length));
    const std::size_t before = lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - start) : length;
    const auto* ctrlZ = static_cast<const char*>(std::memchr(start, '\x1a', before));
    if (ctrlZ != nullptr)
        return from + static_cast<std::size_t>(ctrlZ - start);
    return lineFeed != nullptr ? from + before : std::string::npos;
}

}  // namespace

bool TextReader::Fill()
{
    if (eof_)
        return false;
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    if (buffer_.capacity() == 0)
        buffer_.reserve(2 * kReadChunk);
    std::size_t old = buffer_.size();
    buffer_.resize(old + kReadChunk);
    long got = file_.Read(buffer_.data() + old, kReadChunk);
    if (got <= 0) {
        buffer_.resize(old);
        eof_ = true;
        failed_ = got < 0;
        return false;
    }
    buffer_.resize(old + static_cast<std::size_t>(got));
    return true;
}

bool TextReader::ReadLine(std::string& line)
{
    std::size_t scanned = pos_;
    for (;;) {
        std::size_t stop = LineStop(buffer_, scanned);
        if (stop != std::string::npos) {
            if (buffer_[stop] == '\x1a') {
                // Ctrl-Z ends the input; what stands before it on the line is the last line.
                line.assign(buffer_, pos_, stop - pos_);
                bool any = stop > pos_;
                buffer_.clear();
                pos_ = 0;
                ended_ = true;
                return any;
            }
            std::size_t end = stop;
            if (end > pos_ && buffer_[end - 1] == '\r')
                --end;
            line.assign(buffer_, pos_, end - pos_);
            pos_ = stop + 1;
            return true;
        }
        scanned = buffer_.size();
        std::size_t before = pos_;
        if (ended_ || !Fill()) {
            ended_ = true;
            if (pos_ < buffer_.size()) {
                line.assign(buffer_, pos_, buffer_.size() - pos_);
                pos_ = buffer_.size();
                return true;
            }
            return false;
        }
        scanned -= before;  // Fill moved the unread bytes to the front
    }
}

std::optional<std::string> ReadWholeFile(const Machine& machine, std::string_view path)
{
    auto file = InputFile::Open(machine, path);
    if (!file)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        long got = file->Read(buffer, sizeof buffer);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace pelmo
