// The LHA writer: every member read back by both readers, the method it chose, its header.
#include <gtest/gtest.h>
#include <lhasa.h>

#include <cstring>
#include <random>

#include "platform/file_view.h"
#include "platform/streams.h"
#include "platform/utf8_locale.h"
#include "tests/support/test_machine.h"
#include "upgrade/lh5_encoder.h"
#include "upgrade/lha_readers.h"
#include "upgrade/lha_writer.h"

namespace pelmo::test {
namespace {

std::string Noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Text of few distinct words, long enough to span several windows and blocks.
std::string Words(std::size_t size)
{
    static const char* const kWords[] = {"KORIMU ", "zai001-3.mst ", "\r\n", "MASTER ", "1200 ", "ﾍﾟﾙﾓﾝﾄ "};
    std::mt19937 random(7);
    std::string text;
    while (text.size() < size)
        text += kWords[random() % 6];
    return text.substr(0, size);
}

struct Row {
    const char* what;
    std::string name;
    std::string data;
    LhaAdded method;
};

std::string ReadAll(MemberReader& reader, StoredMember& member)
{
    std::string data;
    char piece[5000];
    for (long got; (got = reader.ReadData(piece, sizeof piece)) != 0;) {
        EXPECT_GT(got, 0) << member.path;
        if (got < 0)
            break;
        data.append(piece, static_cast<std::size_t>(got));
    }
    return data;
}

TEST(LhaWriter, MembersReadBackThroughBothReadersAtEveryHeaderLevel)
{
    const std::vector<Row> rows = {
        {"empty", "EMPTY.TXT", "", LhaAdded::Stored},
        {"one byte", "A", "x", LhaAdded::Stored},
        {"noise does not shrink", "NOISE.BIN", Noise(70000, 1), LhaAdded::Stored},
        {"text, many blocks", "操作説明.TXT", Words(900000), LhaAdded::Compressed},
        {"one byte repeated", "ZERO.DAT", std::string(300000, '\0'), LhaAdded::Compressed},
        {"noise then its repeat, far back", "TWICE.BIN", Noise(8000, 2) + Noise(8000, 2), LhaAdded::Compressed},
    };
    TestMachine test;
    const Machine machine = test.Load();
    const DiskView disk(machine);
    for (const LhaHeaderLevel level : {LhaHeaderLevel::Zero, LhaHeaderLevel::One, LhaHeaderLevel::Two}) {
        StringArchiveOutput archive;
        LhaWriter writer(archive, level);
        for (const Row& row : rows) {
            StringMemberData data(row.data);
            EXPECT_EQ(writer.Add(row.name, 981173106, data, row.data.size()), row.method) << row.what;
        }
        ASSERT_TRUE(writer.Finish());
        WriteHostFile(test.Host("C:\\OUT.LZH"), archive.bytes());
        for (const bool lhasa : {false, true}) {
            const Utf8LocaleScope utf8;
            auto reader = lhasa ? OpenLhasaReader(*InputFile::Open(disk, "C:\\OUT.LZH"))
                                : OpenLibarchiveReader(*InputFile::Open(disk, "C:\\OUT.LZH"));
            ASSERT_NE(reader, nullptr);
            for (const Row& row : rows) {
                StoredMember member;
                ASSERT_EQ(reader->NextMember(member), MemberReader::Next::Member) << row.what;
                EXPECT_EQ(member.path, row.name);
                EXPECT_EQ(ReadAll(*reader, member), row.data)
                    << row.what << " level " << static_cast<int>(level) << (lhasa ? " lhasa" : " libarchive");
                EXPECT_EQ(member.modified.value_or(0), 981173106);
            }
            StoredMember end;
            EXPECT_EQ(reader->NextMember(end), MemberReader::Next::End);
        }
    }
}

// lhasa's own -lh5- decoder over compressed bytes.
std::string Decode(const std::string& packed, std::size_t size)
{
    struct Input {
        const std::string& bytes;
        std::size_t next = 0;
    } input{packed};
    auto pull = [](void* buffer, std::size_t wanted, void* data) {
        auto& in = *static_cast<Input*>(data);
        const std::size_t piece = std::min(wanted, in.bytes.size() - in.next);
        std::memcpy(buffer, in.bytes.data() + in.next, piece);
        in.next += piece;
        return piece;
    };
    static char method[] = "-lh5-";
    LHADecoder* decoder = lha_decoder_new(lha_decoder_for_name(method), pull, &input, size);
    std::string out(size, '\0');
    std::size_t done = 0;
    for (std::size_t got; done < size && (got = lha_decoder_read(decoder, reinterpret_cast<std::uint8_t*>(&out[done]),
                                                                 size - done)) > 0;)
        done += got;
    lha_decoder_free(decoder);
    return out.substr(0, done);
}

// Blocks of a few codes each: every block end, also right after a match, and
// tables of one code used.
TEST(Lh5Encoder, BlocksOfAnySizeDecode)
{
    const std::string data = Words(20000) + Noise(3000, 3) + std::string(2000, 'z');
    for (const std::size_t block :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{1000}, Lh5Encoder::kBlockSymbols}) {
        std::string packed;
        Lh5Encoder encoder(
            [&](std::string_view bytes) {
                packed += bytes;
                return true;
            },
            block);
        for (std::size_t at = 0; at < data.size(); at += 4096)
            ASSERT_TRUE(encoder.Feed(std::string_view(data).substr(at, 4096)));
        ASSERT_TRUE(encoder.Finish());
        EXPECT_EQ(encoder.BytesOut(), packed.size());
        EXPECT_EQ(Decode(packed, data.size()), data) << "blocks of " << block;
    }
}

TEST(LhaWriter, RefusesWhatTheHeaderCannotHoldAndLeavesTheArchiveAsItWas)
{
    StringArchiveOutput archive;
    LhaWriter writer(archive, LhaHeaderLevel::Zero);
    StringMemberData data("data");
    EXPECT_EQ(writer.Add("한국어.TXT", 0, data, 4), LhaAdded::NameNotCp932);
    EXPECT_EQ(writer.Add(std::string(234, 'N'), 0, data, 4), LhaAdded::NameTooLong);
    EXPECT_EQ(writer.Add("BIG", 0, data, std::uint64_t{1} << 32), LhaAdded::TooLarge);
    EXPECT_TRUE(archive.bytes().empty());
}

TEST(LhaWriter, Crc16IsLhasOwn)
{
    EXPECT_EQ(LhaCrc16(0, "123456789"), 0xBB3D);
    EXPECT_EQ(LhaCrc16(LhaCrc16(0, "1234"), "56789"), 0xBB3D);
}

}  // namespace
}  // namespace pelmo::test
