// Writes LHA archives: each member -lh5- compressed, or stored as -lh0- when that
// does not make it smaller, behind a level 2 header (level 0 or 1 on request).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace pelmo {

class Lh5Encoder;

// CRC-16 as LHA computes it (polynomial 0xA001, reflected), continued from `crc`.
std::uint16_t LhaCrc16(std::uint16_t crc, std::string_view bytes);

// Where an archive goes: bytes appended at its end, and bytes put back at an
// earlier place (a member's header, once its data is known).
class ArchiveOutput {
public:
    virtual ~ArchiveOutput() = default;
    virtual bool Append(std::string_view bytes) = 0;
    virtual bool Overwrite(std::uint64_t offset, std::string_view bytes) = 0;
    // Drops everything from `size` on.
    virtual bool CutTo(std::uint64_t size) = 0;
    virtual std::uint64_t Size() const = 0;
};

// A member's data from its start: read once, and once more when it is stored.
class MemberData {
public:
    virtual ~MemberData() = default;
    // Bytes read, 0 at the end, -1 on an error.
    virtual long Read(char* buffer, std::size_t size) = 0;
    virtual bool Rewind() = 0;
};

// An archive held in memory.
class StringArchiveOutput final : public ArchiveOutput {
public:
    bool Append(std::string_view bytes) override
    {
        bytes_ += bytes;
        return true;
    }
    bool Overwrite(std::uint64_t offset, std::string_view bytes) override
    {
        bytes_.replace(offset, bytes.size(), bytes);
        return true;
    }
    bool CutTo(std::uint64_t size) override
    {
        bytes_.resize(size);
        return true;
    }
    std::uint64_t Size() const override { return bytes_.size(); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class StringMemberData final : public MemberData {
public:
    explicit StringMemberData(std::string_view bytes) : bytes_(bytes) {}
    long Read(char* buffer, std::size_t size) override
    {
        const std::size_t piece = std::min(size, bytes_.size() - next_);
        bytes_.copy(buffer, piece, next_);
        next_ += piece;
        return static_cast<long>(piece);
    }
    bool Rewind() override
    {
        next_ = 0;
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t next_ = 0;
};

enum class LhaHeaderLevel { Zero = 0, One = 1, Two = 2 };

enum class LhaAdded {
    Compressed,    // -lh5-
    Stored,        // -lh0-: compressing did not make it smaller
    NameNotCp932,  // the name has a character code page 932 does not hold
    NameTooLong,   // more than the header level can hold
    TooLarge,      // 4 GiB or more, which the header's sizes cannot hold
    ReadFailed,
    WriteFailed,
};

class LhaWriter {
public:
    explicit LhaWriter(ArchiveOutput& out, LhaHeaderLevel level = LhaHeaderLevel::Two);
    ~LhaWriter();

    // One member: `name` is UTF-8, without folders; `modified` goes into the
    // header, the only time in it, so the same files give the same bytes.
    // `expectedSize` lets compression stop early when it cannot win. On a
    // failure the archive is cut back to where the member began.
    LhaAdded Add(std::string_view name, std::time_t modified, MemberData& data, std::uint64_t expectedSize);
    // The byte that ends the archive.
    bool Finish();

private:
    ArchiveOutput& out_;
    LhaHeaderLevel level_;
    std::unique_ptr<Lh5Encoder> encoder_;  // kept from member to member
};

}  // namespace pelmo
