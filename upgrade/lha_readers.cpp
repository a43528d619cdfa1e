// The LHA readers: libarchive first, lhasa's library for what libarchive refuses.
#include "upgrade/lha_readers.h"

#include <archive.h>
#include <archive_entry.h>
#include <lhasa.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace pelmo {
namespace {

// The archive is read in pieces of this size.
constexpr std::size_t kChunkSize = 64 * 1024;

// --- libarchive ---

struct ArchiveReadFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};

class LibarchiveReader final : public MemberReader {
public:
    explicit LibarchiveReader(InputFile file) : file_(std::move(file)) {}

    bool Open()
    {
        reader_.reset(archive_read_new());
        if (!reader_)
            return false;
        archive_read_support_format_lha(reader_.get());
        // Stored names are code page 932; libarchive converts them to the thread's
        // locale, which the caller has made UTF-8.
        return archive_read_set_format_option(reader_.get(), "lha", "hdrcharset", "CP932") == ARCHIVE_OK &&
               archive_read_open(reader_.get(), this, nullptr, Pull, nullptr) == ARCHIVE_OK;
    }

    Next NextMember(StoredMember& member) override
    {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader_.get(), &entry);
        if (status == ARCHIVE_EOF)
            return Next::End;
        // A warning still delivers a usable entry; anything worse ends the archive.
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return Next::Damaged;
        const char* path = archive_entry_pathname(entry);
        if (path == nullptr)
            return Next::Damaged;
        member.path = path;
        member.isFile = archive_entry_filetype(entry) == AE_IFREG && archive_entry_hardlink(entry) == nullptr;
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
            member.size = static_cast<std::uint64_t>(archive_entry_size(entry));
        if (archive_entry_mtime_is_set(entry))
            member.modified = archive_entry_mtime(entry);
        return Next::Member;
    }

    long ReadData(char* buffer, std::size_t size) override
    {
        const la_ssize_t got = archive_read_data(reader_.get(), buffer, size);
        return got < 0 ? -1 : static_cast<long>(got);
    }

    std::uint64_t BytesRead() const override { return file_.position(); }

private:
    // libarchive pulls the archive through here, so that the platform layer opens
    // the file and libarchive never sees a host path.
    static la_ssize_t Pull(archive* reader, void* data, const void** block)
    {
        auto* self = static_cast<LibarchiveReader*>(data);
        const long got = self->file_.Read(self->buffer_.data(), self->buffer_.size());
        if (got < 0) {
            archive_set_error(reader, EIO, "cannot read the archive");
            return -1;
        }
        *block = self->buffer_.data();
        return got;
    }

    InputFile file_;
    std::vector<char> buffer_ = std::vector<char>(kChunkSize);
    // Declared last, so that libarchive is done before the file closes.
    std::unique_ptr<archive, ArchiveReadFree> reader_;
};

// --- lhasa ---

struct LhasaFree {
    void operator()(LHAInputStream* stream) const { lha_input_stream_free(stream); }
    void operator()(LHAReader* reader) const { lha_reader_free(reader); }
    void operator()(LHADecoder* decoder) const { lha_decoder_free(decoder); }
};

// Unix mode bits as LHA headers store them.
constexpr unsigned kModeType = 0170000;
constexpr unsigned kModeFolder = 0040000;
constexpr unsigned kModeLink = 0120000;

std::uint32_t LittleEndian(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

// lhasa lower-cases names that look like MS-DOS ones and splits level 0 and 1
// names at every 0x5C byte; both break code page 932 names, whose trail bytes
// may be 0x5C or an upper-case letter. So the name is read again from the header
// bytes lhasa keeps: the name field of levels 0 and 1, replaced by a file-name
// extension (0x01) where there is one, as lhasa and libarchive do. Folders do not
// matter: they are flattened away.
std::optional<std::string> StoredName(const LHAFileHeader& header)
{
    const std::string_view raw(reinterpret_cast<const char*>(header.raw_data), header.raw_data_len);
    std::string_view name;
    std::size_t next = 0;  // where the size of the first extension header is
    std::size_t sizeField = 2;
    switch (header.header_level) {
    case 0:
    case 1:
        // lhasa has checked that the name field lies inside the header.
        name = raw.substr(22, static_cast<unsigned char>(raw[21]));
        next = header.header_level == 1 ? static_cast<unsigned char>(raw[0]) : raw.size();
        break;
    case 2:
        next = 24;
        break;
    case 3:
        next = 28;
        sizeField = 4;
        break;
    default:
        return std::nullopt;
    }
    while (next + sizeField <= raw.size()) {
        const std::size_t size = LittleEndian(raw.substr(next, sizeField));
        if (size == 0)
            break;
        if (size <= sizeField || size > raw.size() - next)
            return std::nullopt;
        if (raw[next + sizeField] == 0x01)
            name = raw.substr(next + sizeField + 1, size - sizeField - 1);
        next += size;
    }
    // Names end at a NUL, as both libraries read them.
    return std::string(name.substr(0, name.find('\0')));
}

class LhasaReader final : public MemberReader {
public:
    explicit LhasaReader(InputFile file) : file_(std::move(file)) {}

    // Reads the first header: lhasa takes a file without one for an empty archive.
    bool Open()
    {
        static const LHAInputStreamType kCallbacks = {Pull, Skip, nullptr};
        stream_.reset(lha_input_stream_new(&kCallbacks, this));
        if (stream_)
            reader_.reset(lha_reader_new(stream_.get()));
        if (!reader_)
            return false;
        lha_reader_set_dir_policy(reader_.get(), LHA_READER_DIR_PLAIN);
        header_ = ReadHeader();
        return header_ != nullptr;
    }

    Next NextMember(StoredMember& member) override
    {
        check_.reset();
        if (!first_)
            header_ = ReadHeader();
        first_ = false;
        if (header_ == nullptr)
            return EndIsWhole() ? Next::End : Next::Damaged;
        const auto name = StoredName(*header_);
        auto path = name ? Cp932ToUtf8(*name) : std::nullopt;
        if (!path)
            return Next::Damaged;
        member.path = std::move(*path);
        const bool hasMode = LHA_FILE_HAVE_EXTRA(header_, LHA_FILE_UNIX_PERMS);
        const unsigned type = hasMode ? header_->unix_perms & kModeType : 0;
        member.isFile = std::strcmp(header_->compress_method, LHA_COMPRESS_TYPE_DIR) != 0 &&
                        header_->symlink_target == nullptr && type != kModeFolder && type != kModeLink;
        // A method lhasa does not know either leaves the archive unread.
        if (member.isFile && lha_decoder_for_name(header_->compress_method) == nullptr)
            return Next::Damaged;
        member.size = header_->length;
        if (header_->timestamp != 0)
            member.modified = header_->timestamp;
        return Next::Member;
    }

    long ReadData(char* buffer, std::size_t size) override
    {
        // lhasa checks the CRC only when it writes the file itself. Its decoder of
        // stored data, fed with the decoded bytes, keeps the same CRC and count.
        if (!check_) {
            static char stored[] = "-lh0-";
            check_.reset(lha_decoder_new(lha_decoder_for_name(stored), PullDecoded, reader_.get(), header_->length));
            if (!check_)
                return -1;
        }
        const std::size_t got = lha_decoder_read(check_.get(), reinterpret_cast<std::uint8_t*>(buffer), size);
        if (got > 0)
            return static_cast<long>(got);
        // lhasa shows damaged data only by ending it early or with another CRC.
        const bool whole = lha_decoder_get_length(check_.get()) == header_->length &&
                           lha_decoder_get_crc(check_.get()) == header_->crc;
        return whole ? 0 : -1;
    }

    std::uint64_t BytesRead() const override { return position_; }

private:
    LHAFileHeader* ReadHeader()
    {
        LHAFileHeader* header = lha_reader_next_file(reader_.get());
        // Every header is read whole before it is handed over, so the data starts here.
        if (header != nullptr)
            dataEnd_ = position_ + header->compressed_length;
        return header;
    }

    // lhasa also ends the archive at a header it cannot read. The end is real only
    // where the last member's data ends the file or is followed by the 0 byte that
    // closes an archive, as libarchive reads it.
    bool EndIsWhole()
    {
        char byte = 0;
        return position_ >= dataEnd_ && file_.Seek(dataEnd_) && file_.Read(&byte, 1) >= 0 && byte == 0;
    }

    // lhasa wants every request filled unless the file ends. Its decoders ask for
    // a few bytes at a time, so the file is read in chunks.
    static int Pull(void* handle, void* buffer, std::size_t size)
    {
        auto* self = static_cast<LhasaReader*>(handle);
        std::size_t filled = 0;
        while (filled < size) {
            if (self->next_ == self->chunk_.size()) {
                self->chunk_.resize(kChunkSize);
                const long got = self->file_.Read(self->chunk_.data(), self->chunk_.size());
                self->chunk_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
                self->next_ = 0;
                if (got < 0)
                    return -1;
                if (got == 0)
                    break;
            }
            const std::size_t piece = std::min(size - filled, self->chunk_.size() - self->next_);
            std::memcpy(static_cast<char*>(buffer) + filled, self->chunk_.data() + self->next_, piece);
            self->next_ += piece;
            filled += piece;
        }
        self->position_ += filled;
        return static_cast<int>(filled);
    }

    // Skipped by reading, so that the position counts only bytes that exist.
    static int Skip(void* handle, std::size_t bytes)
    {
        std::vector<char> sink(std::min(bytes, kChunkSize));
        while (bytes > 0) {
            const int got = Pull(handle, sink.data(), std::min(bytes, sink.size()));
            if (got <= 0)
                return 0;
            bytes -= static_cast<std::size_t>(got);
        }
        return 1;
    }

    static std::size_t PullDecoded(void* buffer, std::size_t size, void* reader)
    {
        return lha_reader_read(static_cast<LHAReader*>(reader), buffer, size);
    }

    InputFile file_;
    std::vector<char> chunk_;  // read from the file, handed to lhasa from next_ on
    std::size_t next_ = 0;
    std::uint64_t position_ = 0;  // bytes handed to lhasa
    std::uint64_t dataEnd_ = 0;   // where the current member's data ends
    // Freed in reverse order: the decoder, the reader, then the stream it reads.
    std::unique_ptr<LHAInputStream, LhasaFree> stream_;
    std::unique_ptr<LHAReader, LhasaFree> reader_;
    std::unique_ptr<LHADecoder, LhasaFree> check_;
    LHAFileHeader* header_ = nullptr;  // owned by reader_
    bool first_ = true;
};

template <typename Reader>
std::unique_ptr<MemberReader> OpenReader(InputFile file)
{
    auto reader = std::make_unique<Reader>(std::move(file));
    if (!reader->Open())
        return nullptr;
    return reader;
}

}  // namespace

std::unique_ptr<MemberReader> OpenLibarchiveReader(InputFile file)
{
    return OpenReader<LibarchiveReader>(std::move(file));
}

std::unique_ptr<MemberReader> OpenLhasaReader(InputFile file)
{
    return OpenReader<LhasaReader>(std::move(file));
}

}  // namespace pelmo
