// Streamed reading of files on Windows-form paths; writing: replacement_file.cpp.
#include "platform/streams.h"

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

// The piece a text reader reads at a time. It stays small enough that the
// allocator reuses its buffer from one file to the next instead of mapping and
// faulting in fresh pages for every file, which was half the system time of a
// master conversion.
constexpr std::size_t kReadChunk = 16 * 1024;

}  // namespace

// --- InputFile ---

std::optional<InputFile> InputFile::Open(const FileView& files, std::string_view path)
{
    auto host = files.ToHost(path);
    if (!host || path.empty())
        return std::nullopt;
    // Only a regular file is read: opening a pipe would wait for a writer (hence
    // O_NONBLOCK, cleared again below), and a device may give bytes without end.
    host::FileDescriptor fd = files.OpenForReading(*host, O_NONBLOCK);
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

std::optional<std::string> ReadWholeFile(const FileView& files, std::string_view path)
{
    auto file = InputFile::Open(files, path);
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
