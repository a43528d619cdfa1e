// The LHA archive component: what each archive leaves in the target folder and what it says.
#include "upgrade/archive_library.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/faults.h"
#include "tests/support/lha_writer.h"
#include "tests/support/test_machine.h"
#include "upgrade/command_line.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

const fs::path kLhaData = fs::path(PELMO_TEST_DATA) / "lha";
const std::string kPayload = "NEWDATA" + std::string(200000, 'p');  // several 64 KiB pieces

LhaMember File(std::string name, std::string content = "new")
{
    return {.name = std::move(name), .content = std::move(content)};
}

// libarchive knows no -pm0-; lhasa reads it as stored data, so these members reach lhasa.
LhaMember Pm0(std::string name, std::string content = "new")
{
    return {.name = std::move(name), .content = std::move(content), .method = "-pm0-"};
}

// The target folder as "name=content", "name/" for a folder, sorted.
std::set<std::string> Tree(const fs::path& folder)
{
    std::set<std::string> tree;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        tree.insert(entry.is_directory() ? name + "/" : name + "=" + ReadHostFile(entry.path()));
    }
    return tree;
}

enum class Says { Nothing, Damaged, CannotWrite, NotFound, UnusableName };

struct Row {
    const char* title;
    std::string archive;              // C:\pkg\a.lzh
    Says says;
    std::set<std::string> out;        // C:\out afterwards; it held GOOD.DAT=good
    std::string member = {};          // the name an UnusableName message shows
};

class ArchiveTest : public ::testing::Test {
protected:
    fs::path Host(const std::string& relative) const { return machineFolder.driveC() / relative; }

    int Extract(const std::string& archive, const std::string& target, std::size_t outputSize = 256)
    {
        // Committed at once, so that the disk shows what the extraction wrote.
        const int result =
            component.Execute(staged, BuildExtractCommand("C:\\windows", archive, target), output, outputSize);
        EXPECT_TRUE(staged.Commit());
        return result;
    }

    // Extracts the row's archive and checks what it says; `tree` lists the folder.
    void Check(const Row& row, std::set<std::string> (*tree)(const fs::path&) = Tree)
    {
        SCOPED_TRACE(row.title);
        fs::remove_all(Host("out"));
        WriteHostFile(Host("out/GOOD.DAT"), "good");
        WriteHostFile(Host("pkg/a.lzh"), row.archive);
        const int result = Extract("C:\\pkg\\a", "C:\\out\\");
        const char* says[] = {"", "書庫が壊れています: ", "展開先に書き込めません: ", "書庫が見つかりません: ",
                              "書庫内のファイル名が使えません: "};
        const std::string member = row.member.empty() ? "" : " (" + row.member + ")";
        EXPECT_EQ(result != 0, row.says != Says::Nothing);
        EXPECT_EQ(output,
                  row.says == Says::Nothing ? "" : Sjis(says[static_cast<int>(row.says)]) + "C:\\pkg\\a.lzh" + member);
        EXPECT_EQ(tree(Host("out")), row.out);
        // Nothing lands beside the target folder.
        EXPECT_EQ(Tree(Host("")).size(), 3u) << "only out/, pkg/ and windows/";
    }

    TestMachine machineFolder;
    Machine machine = machineFolder.Load();
    TestStage staged{machine};
    LhaComponent component;
    std::string output;
};

std::string Level0(const std::vector<LhaMember>& members) { return WriteStoredLha(members, LhaLevel::Zero); }
std::string Level2(const std::vector<LhaMember>& members) { return WriteStoredLha(members, LhaLevel::Two); }

std::string Damaged(std::string archive, std::size_t at, char value)
{
    archive[at] = value;
    return archive;
}

// The members as tests/data/lha/make_fixtures.sh writes them.
TEST_F(ArchiveTest, FixturesOfEveryMethodAndLevelExtractByteExact)
{
    std::string readme, data;
    for (int i = 0; i < 60; ++i)
        readme += "line " + std::string(i < 10 ? "000" : "00") + std::to_string(i) + " of the upgrade notes\r\n";
    for (int round = 1; round <= 4; ++round)
        for (int multiplier : {1, 37, 101, 255})
            for (int b = 0; b < 256; ++b)
                data += static_cast<char>((b * multiplier + round) % 256);
    for (const char* name : {"lh5-h0", "lh5-h1", "lh5-h2", "lh6-h0", "lh6-h1", "lh6-h2", "lh7-h0", "lh7-h1", "lh7-h2"}) {
        Check({name, ReadHostFile(kLhaData / (std::string(name) + ".lzh")), Says::Nothing,
               {"GOOD.DAT=good", "DATA.BIN=" + data, "EMPTY.DAT=", "note.txt=stored in a subfolder\r\n", "readme.txt=" + readme}});
    }
}

// The target folder less GOOD.DAT as "name size CRC-16", for contents too long to spell out.
std::set<std::string> Summary(const fs::path& folder)
{
    std::set<std::string> summary;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string content = ReadHostFile(entry.path());
        char crc[8];
        std::snprintf(crc, sizeof crc, " %04x", LhaCrc16(content));
        if (name != "GOOD.DAT")
            summary.insert(name + " " + std::to_string(content.size()) + crc);
    }
    return summary;
}

// Archives of other archivers that libarchive refuses (tests/data/lha-peers): each
// leaves what `lhasa x` extracts, flattened, the later of two equal names winning.
// Names keep their stored spelling, where lhasa lower-cases MS-DOS ones.
TEST_F(ArchiveTest, ArchivesOfOtherArchiversExtractAsLhasaDoes)
{
    const std::string gpl = " 18092 a33a";
    const Row rows[] = {
        {"unlha32__h2_lhx", "", Says::Nothing, {"GPL-2" + gpl}},
        {"lengths__lh1-64k", "", Says::Nothing, {"65536.BIN 65536 0000"}},
        {"lharc113__lh1", "", Says::Nothing, {"GPL-2" + gpl}},
        {"lha_amiga_122__lh4", "", Says::Nothing, {"gpl-2" + gpl}},
        {"lharc_atari_313a__lz5", "", Says::Nothing, {"GPL2" + gpl}},
        {"lharc_atari_313a__h2_lh5", "", Says::Nothing, {"GPL2" + gpl}},
        {"lha_x68k_213__h1_subdir", "", Says::Nothing, {"HELLO.TXT 12 9778"}},
        {"lh2_222__eas", "", Says::Nothing, {"hello.txt 14 f1c6", "Apply-Ea.Cmd 505 9118"}},
        {"lha_osk_201__h2_lh5", "", Says::Nothing, {"gpl-2" + gpl}},
        {"morphos_lha_2717__h2_lh5", "", Says::Nothing, {"gpl-2" + gpl}},
        // libarchive reads it; its first name has no code page 932 form.
        {"test_read_format_lha_filename_utf16", "", Says::UnusableName, {}, "??????/??????.txt"},
    };
    for (Row row : rows) {
        row.archive = ReadHostFile(fs::path(PELMO_TEST_DATA) / "lha-peers" / (std::string(row.title) + ".lzh"));
        Check(row, Summary);
    }
}

TEST_F(ArchiveTest, NamesLandAsTheirBaseNameInsideTheTarget)
{
    const Row rows[] = {
        {"trail byte 0x5C", Level0({File(Sjis("ソフト.TXT"))}), Says::Nothing, {"GOOD.DAT=good", "ソフト.TXT=new"}},
        {"half-width katakana", Level2({File(Sjis("ﾃﾞｰﾀ.DAT"))}), Says::Nothing, {"GOOD.DAT=good", "ﾃﾞｰﾀ.DAT=new"}},
        {"stored folder", Level0({File(Sjis("フォルダ\\表.TXT"))}), Says::Nothing, {"GOOD.DAT=good", "表.TXT=new"}},
        {"folder extension", Level2({{.name = Sjis("ソ.wav"), .content = "g", .folder = Sjis("音声/表")}}),
         Says::Nothing, {"GOOD.DAT=good", "ソ.wav=g"}},
        {"parents", Level0({File("..\\..\\EVIL.TXT"), File("../up.txt")}), Says::Nothing,
         {"GOOD.DAT=good", "EVIL.TXT=new", "up.txt=new"}},
        {"absolute and drive paths", Level2({File("/tmp/abs.txt"), File("C:evil.txt"), File("C:\\windows\\w.txt")}),
         Says::Nothing, {"GOOD.DAT=good", "abs.txt=new", "evil.txt=new", "w.txt=new"}},
        {"parents in the folder extension", Level2({{.name = "f.txt", .content = "8", .folder = "../.."}}),
         Says::Nothing, {"GOOD.DAT=good", "f.txt=8"}},
        {"dots and trailing separators write nothing", Level2({File("."), File(".."), File("sub/")}),
         Says::Nothing, {"GOOD.DAT=good"}},
        {"other case replaces, keeping the disk's spelling", Level2({File("good.dat", "x"), File(Sjis("ａ.txt"), "1"),
                                                                     File(Sjis("Ａ.TXT"), "2")}),
         Says::Nothing, {"GOOD.DAT=x", "ａ.txt=2"}},
        {"U+00A5 written as 0x5C is cut again",
         WriteStoredLha({File("..\xC2\xA5..\xC2\xA5y.txt"), File("a\xC2\xA5" "b.txt")}, LhaLevel::Two, 65001),
         Says::Nothing, {"GOOD.DAT=good", "y.txt=new", "b.txt=new"}},
        {"links, devices, fifos and folders are skipped",
         Level2({{.name = "link|/etc/passwd", .unixMode = 0120777}, {.name = "up|../../x", .unixMode = 0120777},
                 {.name = "dev", .unixMode = 0020666}, File("REAL.TXT"), {.method = "-lhd-", .folder = "sub"}}),
         Says::Nothing, {"GOOD.DAT=good", "REAL.TXT=new", "dev="}},
        {"a link, then a file through it", Level2({{.name = "DIR|../..", .unixMode = 0120777}, File("DIR/IN.TXT")}),
         Says::Nothing, {"GOOD.DAT=good", "IN.TXT=new"}},
        {"a NUL inside a level 2 name", Level2({File(std::string("NUL.DAT\0/../x", 13))}), Says::Nothing,
         {"GOOD.DAT=good", "NUL.DAT=new"}},
        // libarchive refuses it; lhasa reads it whole, and the link is skipped.
        {"a link without a target", Level2({File("FIRST.TXT", "1"), {.name = "GOOD.DAT", .content = "x", .unixMode = 0120777}}),
         Says::Nothing, {"GOOD.DAT=good", "FIRST.TXT=1"}},
        {"names lhasa reads keep trail bytes 0x5C and 0x41, and their case",
         Level0({Pm0(Sjis("ソア\\ソア.TXT")), Pm0("GPL-2")}), Says::Nothing, {"GOOD.DAT=good", "ソア.TXT=new", "GPL-2=new"}},
        {"level 2 names lhasa reads", Level2({Pm0(Sjis("ア.TXT"))}), Says::Nothing, {"GOOD.DAT=good", "ア.TXT=new"}},
        {"level 0 links too", Level0({{.name = "link|/etc/passwd", .unixMode = 0120777}, File("REAL.TXT")}),
         Says::Nothing, {"GOOD.DAT=good", "REAL.TXT=new"}},
        {"a name code page 932 cannot write", WriteStoredLha({File("d/\xC3\xA9t\xC3\xA9.txt")}, LhaLevel::Two, 65001),
         Says::UnusableName, {"GOOD.DAT=good"}, "d/?t?.txt"},
        {"a name longer than the disk allows", Level2({File(std::string(300, 'L'))}), Says::CannotWrite,
         {"GOOD.DAT=good"}},
    };
    for (const Row& row : rows)
        Check(row);
}

TEST_F(ArchiveTest, DamageNeverReplacesAGoodFileAndKeepsWhatCameBefore)
{
    const std::string stored = Level2({File("GOOD.DAT", kPayload)});
    const std::size_t data = stored.find("NEWDATA");
    std::string lh5 = ReadHostFile(kLhaData / "lh5-h0.lzh");
    const Row rows[] = {
        {"data byte flipped", Damaged(stored, data + 1000, 'X'), Says::Damaged, {"GOOD.DAT=good"}},
        {"last data byte flipped", Damaged(stored, stored.size() - 2, 'X'), Says::Damaged, {"GOOD.DAT=good"}},
        {"cut inside the data", stored.substr(0, data + 70000), Says::Damaged, {"GOOD.DAT=good"}},
        {"cut inside the header", stored.substr(0, 12), Says::Damaged, {"GOOD.DAT=good"}},
        {"header sum wrong", Damaged(Level0({File("GOOD.DAT")}), 22, 'X'), Says::Damaged, {"GOOD.DAT=good"}},
        {"header CRC wrong", Damaged(stored, 30, 'X'), Says::Damaged, {"GOOD.DAT=good"}},
        {"header size beyond the archive", Damaged(Damaged(stored, 0, '\xF0'), 1, '\xFF'), Says::Damaged,
         {"GOOD.DAT=good"}},
        {"not an archive", "plain text\r\n", Says::Damaged, {"GOOD.DAT=good"}},
        {"empty file", "", Says::Damaged, {"GOOD.DAT=good"}},
        {"compressed data flipped", Damaged(lh5, static_cast<unsigned char>(lh5[0]) + 62, '\x55'), Says::Damaged,
         {"GOOD.DAT=good"}},
        {"packed size beyond the archive", Level2({{.name = "GOOD.DAT", .content = kPayload, .packedSize = 0xFFFFFFF0u}}),
         Says::Damaged, {"GOOD.DAT=good"}},
        {"packed size shorter than the data", Level2({{.name = "GOOD.DAT", .content = kPayload, .packedSize = 1000}}),
         Says::Damaged, {"GOOD.DAT=good"}},
        {"original size beyond the data", Level0({{.name = "GOOD.DAT", .content = kPayload, .originalSize = 0x7FFFFFFFu}}),
         Says::Damaged, {"GOOD.DAT=good"}},
        {"original size below the data", Level0({{.name = "GOOD.DAT", .content = kPayload, .originalSize = 10}}),
         Says::Damaged, {"GOOD.DAT=good"}},
        {"wrong data CRC in the header",
         Level2({{.name = "GOOD.DAT", .content = "x", .dataCrc = static_cast<std::uint16_t>(LhaCrc16("x") ^ 1)}}),
         Says::Damaged, {"GOOD.DAT=good"}},
        {"members before the damage stay", Damaged(Level0({File("FIRST.TXT", "1"), File("GOOD.DAT", kPayload)}),
                                                  Level0({File("FIRST.TXT", "1")}).size() + 40, 'X'),
         Says::Damaged, {"GOOD.DAT=good", "FIRST.TXT=1"}},
        {"a folder entry's data beyond the end",
         Level0({File("FIRST.TXT", "1"), {.name = "sub\\", .method = "-lhd-", .packedSize = 1000}}), Says::Damaged,
         {"GOOD.DAT=good", "FIRST.TXT=1"}},
        {"a method neither reader knows", Level0({Pm0("FIRST.TXT", "1"), {.name = "GOOD.DAT", .method = "-lh9-"}}),
         Says::Damaged, {"GOOD.DAT=good", "FIRST.TXT=1"}},
        {"an empty name", Level0({File("FIRST.TXT", "1"), File(""), File("AFTER.TXT")}), Says::Damaged,
         {"GOOD.DAT=good", "FIRST.TXT=1"}},
        {"an unassigned character", Level0({File("A\x85\x40.TXT")}), Says::Damaged, {"GOOD.DAT=good"}},
        {"a lone lead byte", Level2({File("A\x81")}), Says::Damaged, {"GOOD.DAT=good"}},
    };
    for (const Row& row : rows)
        Check(row);
}

TEST_F(ArchiveTest, WhatStandsInTheWayIsNotReplaced)
{
    WriteHostFile(Host("victim.txt"), "victim");
    WriteHostFile(Host("out/RO.TXT"), "ro");
    ::chmod(Host("out/RO.TXT").c_str(), 0444);
    fs::create_directories(Host("out/DIR.TXT"));
    fs::create_symlink(Host("victim.txt"), Host("out/LINK.TXT"));
    fs::create_hard_link(Host("victim.txt"), Host("out/HARD.TXT"));
    for (const char* member : {"ro.txt", "DIR.TXT"}) {
        SCOPED_TRACE(member);
        WriteHostFile(Host("pkg/a.lzh"), Level0({File("FIRST.TXT", "1"), File(member)}));
        EXPECT_NE(Extract("C:\\pkg\\a", "C:\\out\\"), 0);
        EXPECT_EQ(output, Sjis("展開先に書き込めません: C:\\pkg\\a.lzh"));
    }
    // A hard link is replaced by a file, never written through.
    WriteHostFile(Host("pkg/a.lzh"), Level2({File("HARD.TXT", "replacement")}));
    EXPECT_EQ(Extract("C:\\pkg\\a", "C:\\out\\"), 0) << output;
    EXPECT_EQ(Tree(Host("out")), (std::set<std::string>{"DIR.TXT/", "FIRST.TXT=1", "HARD.TXT=replacement",
                                                         "LINK.TXT=victim", "RO.TXT=ro"}));
    EXPECT_EQ(ReadHostFile(Host("victim.txt")), "victim");
    // A symbolic link cannot be kept as a backup, nor a FIFO, which nothing may wait
    // to read: the commit refuses and changes nothing.
    ::mkfifo(Host("out/PIPE.TXT").c_str(), 0644);
    for (const char* member : {"link.txt", "PIPE.TXT", "pipe.txt"}) {
        WriteHostFile(Host("pkg/a.lzh"), Level2({File(member, "replacement")}));
        EXPECT_EQ(component.Execute(staged, BuildExtractCommand("C:\\windows", "C:\\pkg\\a", "C:\\out\\"), output, 256),
                  0);
        // The last where backups are copies, as on a disk without hard links.
        const FaultScope copies(
            {.root = machineFolder.folder().parent_path(), .noHardLinks = member == std::string("pipe.txt")});
        EXPECT_FALSE(staged.Commit()) << member;
    }
    EXPECT_TRUE(fs::is_symlink(Host("out/LINK.TXT")) && fs::is_fifo(Host("out/PIPE.TXT")));
    EXPECT_EQ(ReadHostFile(Host("victim.txt")), "victim");
}

TEST_F(ArchiveTest, ArchivePathsAndTargetFolders)
{
    fs::create_directories(Host("have"));
    fs::create_directories(Host("cur"));
    ASSERT_EQ(machine.ChDir("C:\\cur"), 0);
    WriteHostFile(Host("file.txt"), "a file");
    LhaMember timed = File("A.TXT", "a");
    timed.time = 1234567890;
    const std::string archive = Level2({timed});
    for (const char* path : {"p/data.lzh", "p/DATA2.LZH", "p/data.bin", "p.v2/data.lzh", "p/音声/wave.lzh", "p/x",
                             "Program Files/p q/data.lzh"})
        WriteHostFile(Host(path), archive);
    struct Target {
        std::string archive;  // as the command names it
        std::string target;
        std::string lands;    // below C:, or empty when the extraction fails
    };
    const std::string deep = std::string(90, 'L') + "\\" + std::string(90, 'L') + "\\" + std::string(90, 'L');
    fs::create_directories(Host(std::string(90, 'L') + "/" + std::string(90, 'L')));
    const Target rows[] = {
        {"C:\\p\\data", "C:\\new\\", "new/A.TXT"},
        {"C:\\p\\data2", "C:\\new2", "new2/A.TXT"},
        {"C:\\p\\data.bin", "C:\\HAVE\\", "have/A.TXT"},
        {"C:\\p.v2\\data", "C:\\have", "have/A.TXT"},
        {Sjis("C:\\p\\音声\\wave"), Sjis("C:\\ソ"), "ソ/A.TXT"},  // ends in trail byte 0x5C
        {"C:\\Program Files\\p q\\data", "C:", "cur/A.TXT"},  // a bare drive is its current folder
        {"C:\\p\\data", "C:\\" + deep, std::string(90, 'L') + "/" + std::string(90, 'L') + "/" + std::string(90, 'L') + "/A.TXT"},
        {"C:\\p\\x", "C:\\t", ""},          // "x" without an extension is looked for as x.lzh
        {"C:\\p\\data.", "C:\\t", ""},
        {"C:\\p\\data", "C:\\miss\\ing\\", ""},
        {"C:\\p\\data", "C:\\file.txt", ""},
    };
    for (const Target& row : rows) {
        SCOPED_TRACE(row.archive + " -> " + row.target);
        if (!row.lands.empty())
            fs::remove(Host(row.lands));
        const int result = Extract(row.archive, row.target);
        EXPECT_EQ(result == 0, !row.lands.empty()) << output;
        if (!row.lands.empty()) {
            EXPECT_EQ(ReadHostFile(Host(row.lands)), "a");
            struct stat st {};
            ASSERT_EQ(::stat(Host(row.lands).c_str(), &st), 0);
            EXPECT_EQ(st.st_mtime, 1234567890);
        }
    }
    EXPECT_FALSE(fs::exists(Host("miss")));
    EXPECT_FALSE(fs::exists(Host("t")));
    EXPECT_EQ(ReadHostFile(Host("file.txt")), "a file");
}

// A pipe would make a plain open wait for a writer for ever, an endless device
// would be read without end: neither is an archive.
TEST_F(ArchiveTest, WhatIsNoFileIsNoArchive)
{
    fs::create_directories(Host("pkg/folder.lzh"));
    ASSERT_EQ(::mkfifo(Host("pkg/pipe.lzh").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", Host("pkg/zero.lzh"));
    for (const char* name : {"folder", "pipe", "zero"}) {
        EXPECT_NE(Extract(std::string("C:\\pkg\\") + name, "C:\\out\\"), 0);
        EXPECT_EQ(output, Sjis("書庫が見つかりません: C:\\pkg\\") + name + ".lzh");
    }
}

TEST_F(ArchiveTest, MessagesNameTheArchiveAndAreCutBetweenCharacters)
{
    const std::string archive = Sjis("C:\\パッケージ\\データ");
    const std::string full = Sjis("書庫が見つかりません: ") + archive + ".lzh";
    for (std::size_t size = 0; size <= full.size() + 1; ++size) {
        SCOPED_TRACE(size);
        EXPECT_NE(Extract(archive, "C:\\out\\", size), 0);
        const std::size_t room = size == 0 ? 0 : size - 1;
        EXPECT_EQ(output, TruncateCp932(full, room));
        EXPECT_GE(output.size() + 1, std::min(room, full.size()));
    }
    const std::string reason = Sjis("コマンドが正しくありません: ");
    for (const std::string line : {"", "e", R"(e -mcwC:\w "C:\p\a.lzh")", R"(e -mcwC:\w "C:\p\a.lzh" "C:\out\)",
                                   R"(e C:\p\a.lzh C:\out\ C:\more\)", R"(x "C:\p\a.lzh" "C:\out\")",
                                   R"(-e "C:\p\a.lzh" "C:\out\")", R"(e "" "C:\out\")", R"(e "C:\p\a.lzh" "")"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(component.Execute(staged, line, output, 256), 0);
        EXPECT_EQ(output, reason + line);
    }
    EXPECT_FALSE(fs::exists(Host("out")));
}

// A display hears of every member and every piece of a large one, never more than
// the archive's size, and the whole archive at its end; whichever reader reads it.
TEST_F(ArchiveTest, ReportsHowMuchOfTheArchiveItHasRead)
{
    const std::pair<const char*, std::string> rows[] = {
        {"libarchive", Level2({File("A.DAT"), File("BIG.DAT", kPayload), File("C.DAT")})},
        {"lhasa", Level2({Pm0("A.DAT"), Pm0("BIG.DAT", kPayload), Pm0("C.DAT")})},
    };
    for (const auto& [reader, archive] : rows) {
        SCOPED_TRACE(reader);
        WriteHostFile(Host("pkg/a.lzh"), archive);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
        component.SetProgress([&](std::uint64_t read, std::uint64_t size) { reports.emplace_back(read, size); });
        EXPECT_EQ(Extract("C:\\pkg\\a", "C:\\out\\"), 0);
        ASSERT_FALSE(reports.empty());
        EXPECT_GE(reports.size(), 3 + kPayload.size() / (64 * 1024));
        for (const auto& [read, size] : reports)
            EXPECT_TRUE(read <= size && size == archive.size()) << read << " of " << size;
        EXPECT_EQ(reports.back(), std::make_pair(std::uint64_t{archive.size()}, std::uint64_t{archive.size()}));
    }
    component.SetProgress({});
    EXPECT_EQ(Extract("C:\\pkg\\a", "C:\\out\\"), 0) << "without a display";
}

TEST(ExtractCommand, SplitsWordsQuotesAndSwitches)
{
    const auto request = ParseExtractCommand(Sjis("E -x \"C:\\ソフト\\a b\" -mcw\"C:\\w\" \t\"C:\\out\\\" "));
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->archive, Sjis("C:\\ソフト\\a b"));
    EXPECT_EQ(request->targetFolder, "C:\\out\\");
    const auto joined = ParseExtractCommand(R"(e C:\"My Docs"\a.lzh "-b")");
    ASSERT_TRUE(joined.has_value());
    EXPECT_EQ(joined->archive, "C:\\My Docs\\a.lzh");
    EXPECT_EQ(joined->targetFolder, "-b");
}

}  // namespace
}  // namespace pelmo::test
