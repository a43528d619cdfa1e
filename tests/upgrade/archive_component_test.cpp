// Tests of the LHA archive component: methods, names, target folders, damage, messages.
#include "upgrade/archive_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/files.h"
#include "tests/support/lha_writer.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using test::LhaLevel;
using test::LhaMember;
using test::ReadHostFile;
using test::Sjis;
using test::WriteHostFile;
using test::WriteStoredLha;

const fs::path kLhaData = fs::path(PELMO_TEST_DATA) / "lha";

// Every entry below a host folder as sorted relative paths; folders end in '/'.
std::vector<std::string> Tree(const fs::path& folder)
{
    std::vector<std::string> entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string entry = fs::relative(it->path(), folder).string();
        if (it->is_directory() && !it->is_symlink())
            entry += '/';
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

LhaMember File(std::string name, std::string content)
{
    return {.name = std::move(name), .content = std::move(content)};
}

std::string Repeat(std::string_view text, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

struct NameRow {
    std::string title;
    LhaLevel level;
    LhaMember member;
    std::vector<std::string> expected;  // files in the target folder afterwards, UTF-8
};

class ArchiveComponentTest : public ::testing::Test {
protected:
    // A host path on drive C:, from a UTF-8 relative path.
    fs::path Host(std::string_view relative) const { return machineFolder_.driveC() / fs::path(relative); }

    // Writes an archive as C:\pkg\<name>.
    void PutArchive(std::string_view name, std::string_view bytes) const
    {
        WriteHostFile(Host("pkg") / fs::path(name), bytes);
    }

    // Runs the program's command line for one archive and target folder.
    int Extract(std::string_view archive, std::string_view target, std::size_t outputSize = 256)
    {
        return Execute(BuildExtractCommand("C:\\windows", archive, target), outputSize);
    }

    int Execute(std::string_view line, std::size_t outputSize = 256)
    {
        output_ = "stale text of an earlier call";
        return component_.Execute(line, output_, outputSize);
    }

    // Extracts each row's one-member archive into its own folder and compares
    // what the folder holds.
    void ExpectNames(const std::vector<NameRow>& rows)
    {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const NameRow& row = rows[i];
            SCOPED_TRACE(row.title);
            const std::string folder = "out" + std::to_string(i);
            PutArchive("names" + std::to_string(i) + ".lzh", WriteStoredLha({row.member}, row.level));
            ASSERT_EQ(Extract("C:\\pkg\\names" + std::to_string(i), "C:\\" + folder + "\\"), 0) << output_;
            EXPECT_EQ(Tree(Host(folder)), row.expected);
            for (const std::string& file : row.expected)
                EXPECT_EQ(ReadHostFile(Host(folder + "/" + file)), row.member.content) << file;
        }
    }

    test::TestMachine machineFolder_;
    Machine machine_ = machineFolder_.Load();
    LhaComponent component_{machine_};
    std::string output_;
};

// --- Committed fixtures: every method at every header level ---

TEST_F(ArchiveComponentTest, FixturesOfEveryMethodAndLevelExtractByteExact)
{
    const fs::path members = kLhaData / "members";
    for (const char* name : {"lh0-h0", "lh0-h1", "lh0-h2", "lh5-h0", "lh5-h1", "lh5-h2", "lh6-h0", "lh6-h1",
                             "lh6-h2", "lh7-h0", "lh7-h1", "lh7-h2"}) {
        SCOPED_TRACE(name);
        PutArchive(std::string(name) + ".lzh", ReadHostFile(kLhaData / (std::string(name) + ".lzh")));
        const std::string target = std::string("C:\\out-") + name + "\\";
        // Named without ".lzh", as the program names its archives.
        ASSERT_EQ(Extract(std::string("C:\\pkg\\") + name, target), 0) << output_;
        EXPECT_EQ(output_, "");
        const fs::path out = Host(std::string("out-") + name);
        // sub/note.txt lands without its folder; no work file is left behind.
        EXPECT_EQ(Tree(out), (std::vector<std::string>{"DATA.BIN", "EMPTY.DAT", "note.txt", "readme.txt"}));
        for (const char* member : {"DATA.BIN", "EMPTY.DAT", "readme.txt"})
            EXPECT_EQ(ReadHostFile(out / member), ReadHostFile(members / member)) << member;
        EXPECT_EQ(ReadHostFile(out / "note.txt"), ReadHostFile(members / "sub" / "note.txt"));
    }
}

// --- Member names ---

TEST_F(ArchiveComponentTest, JapaneseMemberNamesLandAsTheirHostNames)
{
    const std::vector<NameRow> rows = {
        {"trail byte 0x5C, level 0", LhaLevel::Zero, File(Sjis("ソフト.TXT"), "a"), {"ソフト.TXT"}},
        {"trail byte 0x5C, level 2", LhaLevel::Two, File(Sjis("表示.ini"), "b"), {"表示.ini"}},
        {"half-width katakana", LhaLevel::Zero, File(Sjis("ﾃﾞｰﾀ.DAT"), "c"), {"ﾃﾞｰﾀ.DAT"}},
        {"full-width letters", LhaLevel::Two, File(Sjis("ＡＢＣ.txt"), "d"), {"ＡＢＣ.txt"}},
        {"stored folder flattened, level 0", LhaLevel::Zero, File(Sjis("フォルダ\\ソフト.TXT"), "e"), {"ソフト.TXT"}},
        {"backslash in a level 2 name", LhaLevel::Two, File(Sjis("音声\\wave.wav"), "f"), {"wave.wav"}},
        {"folder extension, level 2", LhaLevel::Two,
         {.name = Sjis("ソ.wav"), .content = "g", .folder = Sjis("音声/表")}, {"ソ.wav"}},
    };
    ExpectNames(rows);
}

TEST_F(ArchiveComponentTest, HostileNamesStayInsideTheTargetFolder)
{
    const std::vector<NameRow> rows = {
        {"parent, backslash, level 0", LhaLevel::Zero, File("..\\evil.txt", "1"), {"evil.txt"}},
        {"parent, slash, level 0", LhaLevel::Zero, File("../evil.txt", "2"), {"evil.txt"}},
        {"parent, backslash, level 2", LhaLevel::Two, File("..\\..\\evil.txt", "3"), {"evil.txt"}},
        {"absolute host path", LhaLevel::Two, File("/tmp/abs.txt", "4"), {"abs.txt"}},
        {"drive-relative", LhaLevel::Two, File("C:evil.txt", "5"), {"evil.txt"}},
        {"drive-absolute", LhaLevel::Zero, File("C:\\windows\\evil.txt", "6"), {"evil.txt"}},
        {"parents after a folder", LhaLevel::Two, File("sub/../../evil.txt", "7"), {"evil.txt"}},
        {"parents in the folder extension", LhaLevel::Two,
         {.name = "evil.txt", .content = "8", .folder = "../.."}, {"evil.txt"}},
        {"dot", LhaLevel::Two, File(".", "9"), {}},
        {"dot dot", LhaLevel::Two, File("..", "10"), {}},
        {"dot dot after a folder", LhaLevel::Zero, File("..\\..", "11"), {}},
        {"trailing separator", LhaLevel::Two, File("sub/", "12"), {}},
    };
    ExpectNames(rows);
    // Nothing but the archives and the target folders appeared on the drive.
    for (const std::string& entry : Tree(Host("")))
        EXPECT_TRUE(entry.starts_with("out") || entry.starts_with("pkg") || entry.starts_with("windows")) << entry;
    EXPECT_FALSE(fs::exists(Host("evil.txt")));
    EXPECT_FALSE(fs::exists(Host("windows/evil.txt")));
}

TEST_F(ArchiveComponentTest, UnreadableMemberNamesEndTheArchiveAsDamaged)
{
    struct Row {
        std::string title;
        LhaLevel level;
        std::string name;
    };
    const std::vector<Row> rows = {
        {"empty name, level 0", LhaLevel::Zero, ""},
        {"empty name, level 2", LhaLevel::Two, ""},
        {"unassigned code page 932 character, level 0", LhaLevel::Zero, "A\x85\x40.TXT"},
        {"lone lead byte, level 2", LhaLevel::Two, "A\x81"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].title);
        const std::string folder = "unread" + std::to_string(i);
        PutArchive(folder + ".lzh",
                   WriteStoredLha({File("BEFORE.TXT", "b"), File(rows[i].name, "x"), File("AFTER.TXT", "a")},
                                  rows[i].level));
        EXPECT_NE(Extract("C:\\pkg\\" + folder, "C:\\" + folder + "\\"), 0);
        EXPECT_EQ(output_, Sjis("書庫が壊れています: C:\\pkg\\") + folder + ".lzh");
        EXPECT_EQ(Tree(Host(folder)), std::vector<std::string>{"BEFORE.TXT"});
    }
}

TEST_F(ArchiveComponentTest, UnicodeNamesThatBecomeSeparatorsInCodePage932AreCutAgain)
{
    // A name declared UTF-8: U+00A5 is written as byte 0x5C in code page 932.
    // A name code page 932 cannot write at all is refused, not guessed at.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"..\xC2\xA5..\xC2\xA5" "evil.txt", "evil.txt"},
        {"a\xC2\xA5" "b.txt", "b.txt"},
        {"\xC3\xA9t\xC3\xA9.txt", ""},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].first);
        const std::string name = "utf8-" + std::to_string(i) + ".lzh";
        PutArchive(name, WriteStoredLha({File(rows[i].first, "u")}, LhaLevel::Two, 65001));
        const std::string folder = "utf" + std::to_string(i);
        const int result = Extract("C:\\pkg\\" + name, "C:\\" + folder);
        if (rows[i].second.empty()) {
            EXPECT_NE(result, 0);
            EXPECT_EQ(output_, Sjis("展開先に書き込めません: C:\\pkg\\") + name);
            EXPECT_EQ(Tree(Host(folder)), std::vector<std::string>{});
        } else {
            ASSERT_EQ(result, 0) << output_;
            EXPECT_EQ(Tree(Host(folder)), std::vector<std::string>{rows[i].second});
        }
    }
    EXPECT_FALSE(fs::exists(Host("evil.txt")));
}

TEST_F(ArchiveComponentTest, LinksDevicesAndFoldersAreNotWritten)
{
    for (LhaLevel level : {LhaLevel::Zero, LhaLevel::Two}) {
        const bool two = level == LhaLevel::Two;
        SCOPED_TRACE(two ? "level 2" : "level 0");
        std::vector<LhaMember> members = {
            {.name = "link|/etc/passwd", .unixMode = 0120777},
            {.name = "up|../../x", .unixMode = 0120777},
            {.name = "dev", .unixMode = 0020666},
            {.name = "fifo", .unixMode = 0010666},
            File("REAL.TXT", "real"),
        };
        if (two)
            members.push_back({.method = "-lhd-", .folder = "sub"});
        const std::string name = two ? "special2" : "special0";
        PutArchive(name + ".lzh", WriteStoredLha(members, level));
        ASSERT_EQ(Extract("C:\\pkg\\" + name, "C:\\" + name + "\\"), 0) << output_;
        // libarchive gives LHA device and FIFO modes back as regular files, so they
        // may arrive as empty plain files; never as anything else.
        std::vector<std::string> tree = Tree(Host(name));
        for (const char* plain : {"dev", "fifo"}) {
            auto found = std::find(tree.begin(), tree.end(), plain);
            if (found != tree.end()) {
                EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Host(name + "/" + plain)))) << plain;
                tree.erase(found);
            }
        }
        EXPECT_EQ(tree, std::vector<std::string>{"REAL.TXT"});
        EXPECT_EQ(ReadHostFile(Host(name + "/REAL.TXT")), "real");
    }
}

TEST_F(ArchiveComponentTest, AnExistingLinkInTheTargetIsReplacedNotFollowed)
{
    WriteHostFile(Host("victim.txt"), "victim");
    fs::create_directories(Host("out"));
    fs::create_symlink(Host("victim.txt"), Host("out/evil.txt"));
    PutArchive("link.lzh", WriteStoredLha({File("evil.txt", "replacement")}, LhaLevel::Two));
    ASSERT_EQ(Extract("C:\\pkg\\link", "C:\\out\\"), 0) << output_;
    EXPECT_EQ(ReadHostFile(Host("victim.txt")), "victim");
    EXPECT_FALSE(fs::is_symlink(Host("out/evil.txt")));
    EXPECT_EQ(ReadHostFile(Host("out/evil.txt")), "replacement");
}

// --- Archive path and target folder ---

TEST_F(ArchiveComponentTest, ArchivePathWithoutExtensionStandsForLzh)
{
    struct Row {
        std::string onDisk;   // UTF-8, below C:
        std::string command;  // code page 932
        bool found;
    };
    const std::vector<Row> rows = {
        {"p0/data.lzh", "C:\\p0\\data", true},
        {"p1/DATA.LZH", "C:\\p1\\data", true},
        {"p2/data.bin", "C:\\p2\\data.bin", true},
        {"p3/data", "C:\\p3\\data", false},
        {"p4.v2/data.lzh", "C:\\p4.v2\\data", true},
        {"p5/音声/wave.lzh", Sjis("C:\\p5\\音声\\wave"), true},
        {"p6/data.lzh", "C:\\p6\\data.", false},
    };
    const std::string archive = WriteStoredLha({File("A.TXT", "a")}, LhaLevel::Zero);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].onDisk);
        WriteHostFile(Host(rows[i].onDisk), archive);
        const std::string target = "C:\\t" + std::to_string(i) + "\\";
        const int result = Extract(rows[i].command, target);
        EXPECT_EQ(result == 0, rows[i].found) << output_;
        EXPECT_EQ(fs::exists(Host("t" + std::to_string(i) + "/A.TXT")), rows[i].found);
    }
}

TEST_F(ArchiveComponentTest, TargetFolderIsCreatedOneLevelAndTakenAsNamed)
{
    struct Row {
        std::string target;
        std::string expectedFile;  // UTF-8 below C:, empty when the extraction fails
    };
    fs::create_directories(Host("have"));
    fs::create_directories(Host("cur"));
    ASSERT_EQ(machine_.ChDir("C:\\cur"), 0);
    WriteHostFile(Host("file.txt"), "a file, not a folder");
    const std::vector<Row> rows = {
        {"C:\\new\\", "new/A.TXT"},
        {"C:\\new2", "new2/A.TXT"},
        {"C:\\have", "have/A.TXT"},
        {"C:\\HAVE\\", "have/A.TXT"},
        {Sjis("C:\\ソフト"), "ソフト/A.TXT"},
        {Sjis("C:\\ソ"), "ソ/A.TXT"},  // ends in trail byte 0x5C, not in a backslash
        {"C:", "cur/A.TXT"},           // a bare drive means its current folder
        {"C:\\miss\\ing\\", ""},
        {"C:\\file.txt", ""},
    };
    PutArchive("a.lzh", WriteStoredLha({File("A.TXT", "a")}, LhaLevel::Two));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.target);
        if (!row.expectedFile.empty())
            fs::remove(Host(row.expectedFile));
        const int result = Extract("C:\\pkg\\a.lzh", row.target);
        if (row.expectedFile.empty()) {
            EXPECT_NE(result, 0);
            EXPECT_EQ(output_, Sjis("展開先に書き込めません: C:\\pkg\\a.lzh"));
        } else {
            EXPECT_EQ(result, 0) << output_;
            EXPECT_EQ(ReadHostFile(Host(row.expectedFile)), "a");
        }
    }
    EXPECT_FALSE(fs::exists(Host("miss")));
    EXPECT_FALSE(fs::exists(Host("newA.TXT")));
    EXPECT_FALSE(fs::exists(Host("A.TXT")));
    EXPECT_EQ(ReadHostFile(Host("file.txt")), "a file, not a folder");
}

TEST_F(ArchiveComponentTest, QuotedPathsWithBlanksAndLongPaths)
{
    const std::string longFolder = Repeat(std::string(90, 'L') + "/", 3) + std::string(90, 'L');  // 363 bytes
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Program Files/pkg", "My Target"},
        {"pkg dir/" + longFolder, "deep target/" + longFolder},
    };
    const auto windows = [](std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', '\\');
        return "C:\\" + relative;
    };
    for (const auto& [archiveFolder, targetFolder] : rows) {
        SCOPED_TRACE(archiveFolder);
        WriteHostFile(Host(archiveFolder) / "data.lzh", WriteStoredLha({File("B.TXT", "b")}, LhaLevel::Zero));
        fs::create_directories(Host(targetFolder).parent_path());
        ASSERT_EQ(Extract(windows(archiveFolder + "/data"), windows(targetFolder)), 0) << output_;
        EXPECT_EQ(ReadHostFile(Host(targetFolder) / "B.TXT"), "b");
    }
}

// --- Replacing existing files ---

TEST_F(ArchiveComponentTest, ReplacingADifferentlyCasedFileLeavesOneFile)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"README.TXT", "readme.txt"},
        {"readme.txt", "README.TXT"},
        {"ＡＢＣ.TXT", "ａｂｃ.txt"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [existing, member] = rows[i];
        SCOPED_TRACE(member);
        const std::string folder = "case" + std::to_string(i);
        WriteHostFile(Host(folder + "/" + existing), "old");
        PutArchive(folder + ".lzh", WriteStoredLha({File(Sjis(member), "new")}, LhaLevel::Two));
        ASSERT_EQ(Extract("C:\\pkg\\" + folder, "C:\\" + folder), 0) << output_;
        // The disk keeps its own spelling of the name.
        EXPECT_EQ(Tree(Host(folder)), std::vector<std::string>{existing});
        EXPECT_EQ(ReadHostFile(Host(folder + "/" + existing)), "new");
    }
}

TEST_F(ArchiveComponentTest, ReadOnlyFilesAndFoldersInTheWayCannotBeReplaced)
{
    WriteHostFile(Host("out/RO.TXT"), "read-only");
    fs::permissions(Host("out/RO.TXT"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(Host("out/DIR.TXT"));
    for (const char* member : {"ro.txt", "DIR.TXT"}) {
        SCOPED_TRACE(member);
        PutArchive("blocked.lzh", WriteStoredLha({File("FIRST.TXT", "first"), File(member, "new")}, LhaLevel::Zero));
        EXPECT_NE(Extract("C:\\pkg\\blocked.lzh", "C:\\out\\"), 0);
        EXPECT_EQ(output_, Sjis("展開先に書き込めません: C:\\pkg\\blocked.lzh"));
    }
    EXPECT_EQ(ReadHostFile(Host("out/RO.TXT")), "read-only");
    EXPECT_EQ(Tree(Host("out")), (std::vector<std::string>{"DIR.TXT/", "FIRST.TXT", "RO.TXT"}));
}

TEST_F(ArchiveComponentTest, ExtractedFilesTakeTheMembersTime)
{
    LhaMember member = File("TIMED.TXT", "t");
    member.time = 1234567890;
    PutArchive("timed.lzh", WriteStoredLha({member}, LhaLevel::Two));
    ASSERT_EQ(Extract("C:\\pkg\\timed", "C:\\out\\"), 0) << output_;
    FileStatus status;
    ASSERT_TRUE(GetStatus(machine_, "C:\\out\\TIMED.TXT", status));
    EXPECT_EQ(status.modified, 1234567890);
}

TEST_F(ArchiveComponentTest, LargeMembersAreCopiedWhole)
{
    std::string big;
    for (std::size_t i = 0; big.size() < 300000; ++i)
        big += std::to_string(i * 7919) + ",";
    PutArchive("big.lzh", WriteStoredLha({File("BIG.DAT", big)}, LhaLevel::Two));
    ASSERT_EQ(Extract("C:\\pkg\\big", "C:\\out\\"), 0) << output_;
    EXPECT_EQ(ReadHostFile(Host("out/BIG.DAT")), big);
}

// --- Damaged archives ---

struct DamageRow {
    std::string title;
    LhaLevel level;
    std::function<void(std::string&)> damage;
};

// Flips one byte of the member data, found by its text.
std::function<void(std::string&)> FlipInData(std::size_t offsetInData)
{
    return [offsetInData](std::string& archive) { archive[archive.find("NEWDATA") + offsetInData] ^= 0x20; };
}

TEST_F(ArchiveComponentTest, ADamagedArchiveNeverReplacesAGoodFile)
{
    const std::string content = "NEWDATA" + Repeat("0123456789", 20000);  // several 64 KiB pieces
    const std::vector<DamageRow> rows = {
        {"first data byte flipped, level 0", LhaLevel::Zero, FlipInData(0)},
        {"data byte flipped, level 2", LhaLevel::Two, FlipInData(1000)},
        {"last data byte flipped", LhaLevel::Two, FlipInData(content.size() - 1)},
        {"cut inside the data", LhaLevel::Two, [](std::string& a) { a.resize(a.find("NEWDATA") + 70000); }},
        {"cut inside the header", LhaLevel::Zero, [](std::string& a) { a.resize(12); }},
        {"header sum wrong", LhaLevel::Zero, [](std::string& a) { a[a.find("KEEP")] = 'X'; }},
        {"header CRC wrong", LhaLevel::Two, [](std::string& a) { a[a.find("KEEP")] = 'X'; }},
        {"not an archive", LhaLevel::Two, [](std::string& a) { a = "plain text, no archive\r\n"; }},
        {"empty file", LhaLevel::Two, [](std::string& a) { a.clear(); }},
    };
    WriteHostFile(Host("out/KEEP.DAT"), "good old content");
    for (const DamageRow& row : rows) {
        SCOPED_TRACE(row.title);
        std::string archive = WriteStoredLha({File("KEEP.DAT", content)}, row.level);
        row.damage(archive);
        PutArchive("bad.lzh", archive);
        EXPECT_NE(Extract("C:\\pkg\\bad", "C:\\out\\"), 0);
        EXPECT_EQ(output_, Sjis("書庫が壊れています: C:\\pkg\\bad.lzh"));
        EXPECT_EQ(ReadHostFile(Host("out/KEEP.DAT")), "good old content");
        EXPECT_EQ(Tree(Host("out")), std::vector<std::string>{"KEEP.DAT"});
    }
}

TEST_F(ArchiveComponentTest, DamagedCompressedDataNeverReplacesAGoodFile)
{
    WriteHostFile(Host("out/readme.txt"), "good old content");
    for (const char* name : {"lh5-h0", "lh6-h1", "lh7-h2"}) {
        SCOPED_TRACE(name);
        std::string archive = ReadHostFile(kLhaData / (std::string(name) + ".lzh"));
        // readme.txt is the first member; its compressed data follows the first header.
        const std::size_t header = archive[20] == 2 ? static_cast<unsigned char>(archive[0]) |
                                                          static_cast<unsigned char>(archive[1]) << 8
                                                    : static_cast<unsigned char>(archive[0]) + 2u;
        archive[header + 60] ^= 0x10;
        PutArchive("bad.lzh", archive);
        EXPECT_NE(Extract("C:\\pkg\\bad.lzh", "C:\\out\\"), 0);
        EXPECT_EQ(output_, Sjis("書庫が壊れています: C:\\pkg\\bad.lzh"));
        EXPECT_EQ(ReadHostFile(Host("out/readme.txt")), "good old content");
    }
}

TEST_F(ArchiveComponentTest, MembersBeforeTheDamageStayExtracted)
{
    WriteHostFile(Host("out/SECOND.TXT"), "old second");
    std::string archive =
        WriteStoredLha({File("FIRST.TXT", "new first"), File("SECOND.TXT", "NEWDATA second")}, LhaLevel::Zero);
    FlipInData(3)(archive);
    PutArchive("half.lzh", archive);
    EXPECT_NE(Extract("C:\\pkg\\half", "C:\\out\\"), 0);
    EXPECT_EQ(ReadHostFile(Host("out/FIRST.TXT")), "new first");
    EXPECT_EQ(ReadHostFile(Host("out/SECOND.TXT")), "old second");
    EXPECT_EQ(Tree(Host("out")), (std::vector<std::string>{"FIRST.TXT", "SECOND.TXT"}));
}

// --- Messages and bad command lines ---

TEST_F(ArchiveComponentTest, AMissingArchiveIsNamedInTheMessage)
{
    EXPECT_NE(Extract("C:\\pkg\\none", "C:\\out\\"), 0);
    EXPECT_EQ(output_, Sjis("書庫が見つかりません: C:\\pkg\\none.lzh"));
    EXPECT_FALSE(fs::exists(Host("out")));
    EXPECT_NE(Extract(Sjis("Q:\\音声\\wave"), "C:\\out\\"), 0);
    EXPECT_EQ(output_, Sjis("書庫が見つかりません: Q:\\音声\\wave.lzh"));
}

TEST_F(ArchiveComponentTest, MessagesAreCutToTheBufferWithoutSplittingACharacter)
{
    const std::string archive = Sjis("C:\\パッケージ\\ソフト\\データ");
    const std::string full = Sjis("書庫が見つかりません: ") + archive + ".lzh";
    std::set<std::size_t> boundaries = {0};
    for (std::size_t i = 0; i < full.size(); i += CharLength(full, i))
        boundaries.insert(i + CharLength(full, i));
    for (std::size_t size = 0; size <= full.size() + 2; ++size) {
        SCOPED_TRACE(size);
        EXPECT_NE(Extract(archive, "C:\\out\\", size), 0);
        const std::size_t room = size == 0 ? 0 : size - 1;
        EXPECT_LE(output_.size(), room);
        EXPECT_EQ(full.substr(0, output_.size()), output_);
        // Never shorter than needed: at most the one byte of a split character is dropped.
        EXPECT_GE(output_.size() + 1, std::min(room, full.size()));
        EXPECT_TRUE(boundaries.count(output_.size())) << "ends inside a character";
        EXPECT_TRUE(Cp932ToUtf8(output_).has_value());
    }
}

TEST_F(ArchiveComponentTest, BadCommandLinesFailWithAMessage)
{
    PutArchive("a.lzh", WriteStoredLha({File("A.TXT", "a")}, LhaLevel::Two));
    const std::vector<std::string> lines = {
        "",
        "e",
        R"(e -mcwC:\windows "C:\pkg\a.lzh")",
        R"(e -mcwC:\windows "C:\pkg\a.lzh" "C:\out\)",
        R"(e -mcwC:\windows C:\pkg\a.lzh C:\out\ C:\more\)",
        R"(x -mcwC:\windows "C:\pkg\a.lzh" "C:\out\")",
        R"(e "" "C:\out\")",
    };
    const std::string reason = Sjis("コマンドが正しくありません: ");
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_NE(Execute(line), 0);
        EXPECT_EQ(output_, reason + line);
        EXPECT_NE(Execute(line, 8), 0);
        EXPECT_EQ(output_, reason.substr(0, 6));
    }
    EXPECT_FALSE(fs::exists(Host("out")));
    EXPECT_FALSE(fs::exists(Host("more")));
}

}  // namespace
}  // namespace pelmo
