// File services with Windows semantics on Windows-form paths.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <limits>
#include <memory>
#include <locale.h>
#include <random>
#include <system_error>
#include <utility>

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Buffers of files read and written piece by piece. They stay small enough
// that the allocator reuses them from one file to the next instead of mapping
// and faulting in fresh pages for every file, which was half the system time of
// a master conversion.
constexpr std::size_t kPendingSize = 32 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;

// Read-only means no write permission bits at all, so that root, which the
// kernel lets write anyway, still honours the attribute.
bool IsReadOnly(const struct stat& st)
{
    return (st.st_mode & kWriteBits) == 0;
}

std::optional<struct stat> Stat(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

bool StatusOf(const fs::path& host, FileStatus& status)
{
    auto st = Stat(host);
    if (!st)
        return false;
    status.created = st->st_ctime;
    status.modified = st->st_mtime;
    status.accessed = st->st_atime;
    status.size = static_cast<std::uint64_t>(st->st_size);
    status.attribute = S_ISDIR(st->st_mode) ? kAttributeFolder : kAttributeArchive;
    if (IsReadOnly(*st))
        status.attribute |= kAttributeReadOnly;
    return true;
}

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Decodes UTF-8 into code points; a malformed byte stands for itself.
std::u32string DecodeUtf8(std::string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra == 0 || i + extra >= text.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t code = c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(code);
        i += extra + 1;
    }
    return out;
}

char32_t FoldChar(char32_t c)
{
    if (c >= U'a' && c <= U'z')
        return c - U'a' + U'A';
    if (c >= 0xFF41 && c <= 0xFF5A)
        return c - 0x20;
    return c;
}

// '*' any run, '?' exactly one character; letters folded as in file names.
bool MatchWildcard(std::u32string_view pattern, std::u32string_view name)
{
    std::size_t p = 0, n = 0, starP = std::u32string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || FoldChar(pattern[p]) == FoldChar(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

// NTFS orders names by their upper-cased UTF-16 code units.
std::u16string NtfsSortKey(std::string_view utf8)
{
    static locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    std::u16string key;
    for (char32_t c : DecodeUtf8(utf8)) {
        char32_t upper = utf8Locale ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8Locale)) : FoldChar(c);
        if (upper >= 0x10000) {
            upper -= 0x10000;
            key.push_back(static_cast<char16_t>(0xD800 + (upper >> 10)));
            key.push_back(static_cast<char16_t>(0xDC00 + (upper & 0x3FF)));
        } else {
            key.push_back(static_cast<char16_t>(upper));
        }
    }
    return key;
}

std::string HostNameToCp932(const std::string& name)
{
    if (auto converted = Utf8ToCp932(name))
        return *converted;
    return Utf8ToCp932Lossy(name);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

int Access(const Machine& machine, std::string_view path, int mode)
{
    if (path.empty())
        return -1;
    auto resolved = machine.Resolve(path);
    if (!resolved)
        return -1;
    auto st = Stat(resolved->host);
    if (!st)
        return -1;
    bool isFolder = S_ISDIR(st->st_mode);
    if (resolved->mustBeFolder && !isFolder)
        return -1;
    if ((mode & 2) && !isFolder && IsReadOnly(*st))
        return -1;
    return 0;
}

int MkDir(const Machine& machine, std::string_view path)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return -1;
    return ::mkdir(host->c_str(), 0777) == 0 ? 0 : -1;
}

bool CopyFile(const Machine& machine, std::string_view source, std::string_view target, bool failIfExists)
{
    auto sourceHost = machine.ToHost(source);
    auto targetHost = machine.ToHost(target);
    if (!sourceHost || !targetHost)
        return false;
    auto sourceStat = Stat(*sourceHost);
    if (!sourceStat || !S_ISREG(sourceStat->st_mode))
        return false;
    if (auto targetStat = Stat(*targetHost)) {
        if (failIfExists || !S_ISREG(targetStat->st_mode) || IsReadOnly(*targetStat))
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    auto input = InputFile::Open(machine, source);
    if (!input)
        return false;
    bool newTarget = !Stat(*targetHost).has_value();
    // A copy comes from the package and can be made again, so it is not flushed
    // file by file; the rename still keeps a failed copy from replacing anything.
    auto output = ReplacementFile::Create(machine, target, std::nullopt, Durability::Cached);
    if (!output)
        return false;
    char buffer[1 << 16];
    for (;;) {
        long got = input->Read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!output->Write(std::string_view(buffer, static_cast<std::size_t>(got))))
            return false;
    }
    // A new target takes the source's read-only attribute; the last-write time is
    // always copied.
    if (newTarget && IsReadOnly(*sourceStat))
        output->SetReadOnly(true);
    output->SetModifiedTime(sourceStat->st_mtim.tv_sec, sourceStat->st_mtim.tv_nsec);
    return output->Commit();
}

bool GetStatus(const Machine& machine, std::string_view path, FileStatus& status)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return false;
    return StatusOf(*host, status);
}

bool SetStatus(const Machine& machine, std::string_view path, const FileStatus& status)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return false;
    auto st = Stat(*host);
    if (!st)
        return false;
    mode_t mode = st->st_mode & 07777;
    if (status.attribute & kAttributeReadOnly)
        mode &= ~kWriteBits;
    else
        mode |= S_IWUSR | (kWriteBits & ~CurrentUmask());
    if (::chmod(host->c_str(), mode) != 0)
        return false;
    struct timespec times[2] = {{status.accessed, 0}, {status.modified, 0}};
    return ::utimensat(AT_FDCWD, host->c_str(), times, 0) == 0;
}

std::vector<FoundFile> FindFiles(const Machine& machine, std::string_view pattern)
{
    SplitPathResult parts = SplitPath(pattern);
    std::string folder = parts.drive + parts.folder;
    std::string namePattern = parts.baseName + parts.extension;
    if (namePattern == "*.*")
        namePattern = "*";  // every name, with or without a dot
    auto resolved = machine.Resolve(folder.empty() ? std::string_view(".") : std::string_view(folder));
    std::error_code ec;
    if (!resolved || !fs::is_directory(resolved->host, ec) || namePattern.empty())
        return {};
    std::u32string wanted = DecodeUtf8(Cp932ToUtf8Lossy(namePattern));

    struct Candidate {
        std::u16string key;
        FoundFile file;
    };
    std::vector<Candidate> found;
    auto consider = [&](const std::string& hostName, bool isFolder) {
        if (!MatchWildcard(wanted, DecodeUtf8(hostName)))
            return;
        found.push_back({NtfsSortKey(hostName), {HostNameToCp932(hostName), isFolder}});
    };
    // A drive root has no "." and ".." entries, as on NTFS.
    if (!resolved->components.empty()) {
        consider(".", true);
        consider("..", true);
    }
    for (fs::directory_iterator it(resolved->host, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        consider(it->path().filename().string(), it->is_directory(typeError));
    }
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        bool aDot = a.file.name == "." || a.file.name == "..";
        bool bDot = b.file.name == "." || b.file.name == "..";
        if (aDot != bDot)
            return aDot;
        return a.key < b.key;
    });
    std::vector<FoundFile> result;
    result.reserve(found.size());
    for (Candidate& candidate : found)
        result.push_back(std::move(candidate.file));
    return result;
}

// --- InputFile ---

std::optional<InputFile> InputFile::Open(const Machine& machine, std::string_view path)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return std::nullopt;
    // Only a regular file is read: opening a pipe would wait for a writer (hence
    // O_NONBLOCK, cleared again below), and a device may give bytes without end.
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return InputFile(fd);
}

InputFile::InputFile(InputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

long InputFile::Read(void* buffer, std::size_t size)
{
    for (;;) {
        ssize_t got = ::read(fd_, buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        return static_cast<long>(got);
    }
}

bool InputFile::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return false;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

// --- ReplacementFile ---

std::optional<ReplacementFile> ReplacementFile::Create(const Machine& machine, std::string_view target,
                                                       std::optional<std::string_view> workPath,
                                                       Durability durability)
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
    return CreateAt(*targetHost, workHost, durability);
}

std::optional<ReplacementFile> ReplacementFile::CreateAt(const fs::path& targetHost,
                                                         const std::optional<fs::path>& workHost,
                                                         Durability durability)
{
    ReplacementFile file;
    file.targetHost_ = targetHost.string();
    file.durability_ = durability;
    mode_t mode = 0666 & ~CurrentUmask();
    if (auto existing = Stat(targetHost)) {
        mode = existing->st_mode & 07777;
        // Replacing an installed file is flushed all the same: after a power loss
        // some file systems would otherwise show it empty.
        file.durability_ = Durability::Flushed;
    }
    if (workHost) {
        file.workHost_ = workHost->string();
        // An old work file left behind is emptied and reused.
        file.fd_ = ::open(file.workHost_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    } else {
        std::string pattern = (targetHost.parent_path() / ".pelmo-XXXXXX").string();
        file.fd_ = ::mkstemp(pattern.data());
        file.workHost_ = pattern;
    }
    if (file.fd_ < 0) {
        file.workHost_.clear();  // never remove what we did not create
        return std::nullopt;
    }
    // Root may open a read-only work file anyway; the mode is set explicitly.
    ::fchmod(file.fd_, mode);
    file.pending_.reserve(kPendingSize);
    return file;
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      failed_(other.failed_),
      readOnly_(other.readOnly_),
      durability_(other.durability_),
      modified_(other.modified_),
      pending_(std::move(other.pending_)),
      workHost_(std::move(other.workHost_)),
      targetHost_(std::move(other.targetHost_))
{
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        failed_ = other.failed_;
        readOnly_ = other.readOnly_;
        durability_ = other.durability_;
        modified_ = other.modified_;
        pending_ = std::move(other.pending_);
        workHost_ = std::move(other.workHost_);
        targetHost_ = std::move(other.targetHost_);
    }
    return *this;
}

ReplacementFile::~ReplacementFile()
{
    Discard();
}

bool ReplacementFile::Write(std::string_view bytes)
{
    if (fd_ < 0 || failed_)
        return false;
    // Lines are gathered into one write; the buffer never grows past its first
    // size, and a piece as large as it goes to the kernel without a copy.
    if (pending_.size() + bytes.size() > kPendingSize) {
        Flush();
        if (bytes.size() >= kPendingSize) {
            if (!failed_ && !WriteAll(fd_, bytes.data(), bytes.size()))
                failed_ = true;
            return !failed_;
        }
    }
    pending_.append(bytes);
    return !failed_;
}

void ReplacementFile::Flush()
{
    if (fd_ >= 0 && !failed_ && !WriteAll(fd_, pending_.data(), pending_.size()))
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
    if (fd_ < 0)
        return false;
    Flush();
    const bool flushed = durability_ == Durability::Flushed;
    bool ok = !failed_ && (!flushed || ::fsync(fd_) == 0);
    if (ok && readOnly_) {
        struct stat st {};
        ok = ::fstat(fd_, &st) == 0 && ::fchmod(fd_, st.st_mode & 07777 & ~kWriteBits) == 0;
    }
    if (ok && modified_) {
        struct timespec times[2] = {{0, UTIME_OMIT}, {modified_->first, modified_->second}};
        ok = ::futimens(fd_, times) == 0;
    }
    ok = ::close(std::exchange(fd_, -1)) == 0 && ok;
    if (ok)
        ok = ::rename(workHost_.c_str(), targetHost_.c_str()) == 0;
    if (!ok) {
        ::unlink(workHost_.c_str());
        workHost_.clear();
        return false;
    }
    workHost_.clear();
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
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!workHost_.empty()) {
        ::unlink(workHost_.c_str());
        workHost_.clear();
    }
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
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            writer.Remember(std::string(name));
    }
    return writer;
}

bool FolderWriter::GetStatus(std::string_view name, FileStatus& status) const
{
    return !name.empty() && StatusOf(host_ / OnDiskName(name), status);
}

std::optional<ReplacementFile> FolderWriter::Replace(std::string_view name, Durability durability,
                                                   std::optional<std::string_view> workName)
{
    if (name.empty() || (workName && workName->empty()))
        return std::nullopt;
    const std::string onDisk = OnDiskName(name);
    std::optional<fs::path> workHost;
    if (workName) {
        const std::string work = OnDiskName(*workName);
        workHost = host_ / work;
        // Committed it is renamed away, dropped it is removed: either way it is
        // not there for the next name.
        Forget(work);
    }
    auto file = ReplacementFile::CreateAt(host_ / onDisk, workHost, durability);
    if (file)
        Remember(onDisk);
    return file;
}

std::string FolderWriter::OnDiskName(std::string_view name) const
{
    std::string utf8 = Cp932ToUtf8(name).value_or(Cp932ToUtf8Lossy(name));
    if (names_.contains(utf8))
        return utf8;
    if (auto match = folded_.find(FoldFileName(utf8)); match != folded_.end())
        return match->second;
    return utf8;
}

void FolderWriter::Remember(const std::string& onDisk)
{
    names_.insert(onDisk);
    auto [entry, added] = folded_.try_emplace(FoldFileName(onDisk), onDisk);
    if (!added && onDisk < entry->second)
        entry->second = onDisk;
}

void FolderWriter::Forget(const std::string& onDisk)
{
    if (names_.erase(onDisk) == 0)
        return;
    // Another spelling of the same name may be left to take its place.
    const std::string key = FoldFileName(onDisk);
    folded_.erase(key);
    for (const std::string& name : names_) {
        if (FoldFileName(name) != key)
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
