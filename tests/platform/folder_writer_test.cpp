// Filling a folder through FolderWriter, buffered replacement writes, and text
// lines that cross the reader's chunks.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::ReadHostFile;
using test::Sjis;
using test::TestMachine;
using test::WriteHostFile;

std::set<std::string> NamesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

struct MatchRow {
    const char* name;
    std::vector<std::string> onDisk;  // UTF-8
    std::string written;              // UTF-8, converted to code page 932
    std::string replaced;             // the file that gets the new content
};

// The writer must pick the very file a path through the machine picks.
TEST(FolderWriter, ReplacesTheFileThePathWouldName)
{
    const MatchRow rows[] = {
        {"new name as written", {}, "New.Dat", "New.Dat"},
        {"exact match", {"FOO.EXE"}, "FOO.EXE", "FOO.EXE"},
        {"other letter case", {"FOO.EXE"}, "foo.exe", "FOO.EXE"},
        {"exact match wins over a first fold", {"A.TXT", "a.txt"}, "a.txt", "a.txt"},
        {"first fold in name order", {"b.TXT", "B.txt"}, "b.txt", "B.txt"},
        {"full-width letters fold", {"ＡＢＣ.txt"}, "ａｂｃ.TXT", "ＡＢＣ.txt"},
        {"kana do not fold", {"ア.TXT"}, "ｱ.TXT", "ｱ.TXT"},
    };
    for (const MatchRow& row : rows) {
        TestMachine setup;
        const fs::path folder = setup.driveC() / "out";
        fs::create_directories(folder);
        for (const std::string& name : row.onDisk)
            WriteHostFile(folder / name, "old " + name);
        const Machine machine = setup.Load();

        const auto viaMachine = machine.ToHost("C:\\out\\" + Sjis(row.written));
        ASSERT_TRUE(viaMachine) << row.name;
        EXPECT_EQ(viaMachine->filename().string(), row.replaced) << row.name;

        auto writer = FolderWriter::Open(machine, "C:\\out");
        ASSERT_TRUE(writer) << row.name;
        auto file = writer->Replace(Sjis(row.written), Durability::Cached);
        ASSERT_TRUE(file) << row.name;
        ASSERT_TRUE(file->Write("new"));
        ASSERT_TRUE(file->Commit()) << row.name;

        EXPECT_EQ(ReadHostFile(folder / row.replaced), "new") << row.name;
        std::set<std::string> expected(row.onDisk.begin(), row.onDisk.end());
        expected.insert(row.replaced);
        EXPECT_EQ(NamesIn(folder), expected) << row.name;
    }
}

TEST(FolderWriter, NamesItWroteCountAsPresent)
{
    TestMachine setup;
    fs::create_directories(setup.driveC() / "out");
    const Machine machine = setup.Load();
    auto writer = FolderWriter::Open(machine, "C:\\out\\");
    ASSERT_TRUE(writer);
    for (const char* name : {"x.dat", "X.DAT"}) {
        auto file = writer->Replace(name, Durability::Flushed);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write(name));
        ASSERT_TRUE(file->Commit());
    }
    EXPECT_EQ(NamesIn(setup.driveC() / "out"), std::set<std::string>{"x.dat"});
    EXPECT_EQ(ReadHostFile(setup.driveC() / "out" / "x.dat"), "X.DAT");
    FileStatus status;
    ASSERT_TRUE(writer->GetStatus("X.Dat", status));
    EXPECT_EQ(status.size, 5u);
}

TEST(FolderWriter, ReportsWhatANameStandsFor)
{
    TestMachine setup;
    const fs::path folder = setup.driveC() / "out";
    WriteHostFile(folder / "LOCKED.DAT", "locked");
    fs::permissions(folder / "LOCKED.DAT", fs::perms::owner_read, fs::perm_options::replace);
    fs::create_directories(folder / "Sub");
    const Machine machine = setup.Load();
    auto writer = FolderWriter::Open(machine, "C:\\OUT");
    ASSERT_TRUE(writer);

    FileStatus status;
    ASSERT_TRUE(writer->GetStatus("locked.dat", status));
    EXPECT_EQ(status.attribute & kAttributeReadOnly, kAttributeReadOnly);
    ASSERT_TRUE(writer->GetStatus("SUB", status));
    EXPECT_EQ(status.attribute & kAttributeFolder, kAttributeFolder);
    EXPECT_FALSE(writer->GetStatus("missing.dat", status));
    EXPECT_FALSE(writer->GetStatus("", status));
    EXPECT_FALSE(writer->Replace("", Durability::Cached).has_value());

    EXPECT_FALSE(FolderWriter::Open(machine, "C:\\nofolder").has_value());
    EXPECT_FALSE(FolderWriter::Open(machine, "C:\\out\\LOCKED.DAT").has_value());
    EXPECT_FALSE(FolderWriter::Open(machine, "").has_value());
}

TEST(FolderWriter, AReplacementDroppedWithoutCommitLeavesTheOldFile)
{
    TestMachine setup;
    const fs::path folder = setup.driveC() / "out";
    WriteHostFile(folder / "KEEP.DAT", "old");
    const Machine machine = setup.Load();
    auto writer = FolderWriter::Open(machine, "C:\\out");
    ASSERT_TRUE(writer);
    {
        auto file = writer->Replace("keep.dat", Durability::Cached);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write(std::string(100000, 'n')));
    }
    EXPECT_EQ(ReadHostFile(folder / "KEEP.DAT"), "old");
    EXPECT_EQ(NamesIn(folder), std::set<std::string>{"KEEP.DAT"});
}

struct WorkFileRow {
    const char* name;
    std::vector<std::string> leftovers;  // work files left in the folder before
};

// Each replacement goes through the work file the machine would find for
// "temp.mst" at that moment, and leaves none behind.
TEST(FolderWriter, GoesThroughTheWorkFileThePathWouldName)
{
    const WorkFileRow rows[] = {
        {"no work file yet", {}},
        {"one left in capitals", {"TEMP.MST"}},
        {"two spellings left", {"TEMP.MST", "temp.mst"}},
    };
    for (const WorkFileRow& row : rows) {
        TestMachine setup;
        const fs::path folder = setup.driveC() / "m";
        for (const char* master : {"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"})
            WriteHostFile(folder / master, "old");
        for (const std::string& leftover : row.leftovers)
            WriteHostFile(folder / leftover, "stale");
        const Machine machine = setup.Load();
        auto writer = FolderWriter::Open(machine, "C:\\m\\");
        ASSERT_TRUE(writer) << row.name;
        for (const char* master : {"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"}) {
            const auto expectedWork = machine.ToHost("C:\\m\\temp.mst");
            ASSERT_TRUE(expectedWork);
            auto file = writer->Replace(master, Durability::Flushed, "temp.mst");
            ASSERT_TRUE(file) << row.name << " " << master;
            EXPECT_EQ(ReadHostFile(*expectedWork), "") << row.name << " " << master;
            ASSERT_TRUE(file->Write("new"));
            ASSERT_TRUE(file->Commit());
            EXPECT_EQ(ReadHostFile(folder / master), "new") << row.name;
            EXPECT_FALSE(fs::exists(*expectedWork)) << row.name;
        }
        // Every leftover was taken as a work file in turn and renamed away.
        const std::set<std::string> masters = {"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"};
        EXPECT_EQ(NamesIn(folder), masters) << row.name;
    }
}

// Pieces of every size around the write buffer's 32 KiB arrive whole and in order.
TEST(ReplacementFile, WritesPiecesOfAnySizeInOrder)
{
    const std::vector<std::size_t> sizes = {1, 186, 32767, 1, 32768, 5, 32769, 100000, 0, 3, 65536, 2};
    for (Durability durability : {Durability::Flushed, Durability::Cached}) {
        TestMachine setup;
        const Machine machine = setup.Load();
        auto file = ReplacementFile::Create(machine, "C:\\pieces.bin", std::nullopt, durability);
        ASSERT_TRUE(file);
        std::string expected;
        char fill = 'a';
        for (std::size_t size : sizes) {
            const std::string piece(size, fill);
            fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1);
            ASSERT_TRUE(file->Write(piece));
            expected += piece;
        }
        ASSERT_TRUE(file->Commit());
        EXPECT_EQ(ReadHostFile(setup.driveC() / "pieces.bin"), expected);
    }
}

struct ChunkLinesRow {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

// The reader takes the file in pieces of 16 KiB; line ends and Ctrl-Z on either
// side of a piece's edge read as anywhere else.
TEST(TextReader, ReadsLinesAcrossItsPieces)
{
    const std::size_t edge = 16 * 1024;
    const std::string before(edge - 1, 'a');
    const ChunkLinesRow rows[] = {
        {"LF as the last byte of a piece", before + "\n" + "b\n", {before, "b"}},
        {"CR and LF on both sides of an edge", before + "\r\n" + "b", {before, "b"}},
        {"LF as the first byte of a piece", before + "c\n" + "d", {before + "c", "d"}},
        {"Ctrl-Z in a later piece ends a line", before + "\n" + std::string(edge, 'e') + "\x1a" + "f\n",
         {before, std::string(edge, 'e')}},
        {"Ctrl-Z right before an LF", before + "\n" + "i\x1a\n" + "j\n", {before, "i"}},
        {"Ctrl-Z as the last byte", before + "\n" + "k\x1a", {before, "k"}},
        {"Ctrl-Z before an LF of the same line", std::string(3 * edge, 'g') + "\x1a" + "h\n", {std::string(3 * edge, 'g')}},
        {"many short lines", [] {
             std::string text;
             for (int i = 0; i < 5000; ++i)
                 text += "line" + std::to_string(i) + "\r\n";
             return text;
         }(),
         [] {
             std::vector<std::string> lines;
             for (int i = 0; i < 5000; ++i)
                 lines.push_back("line" + std::to_string(i));
             return lines;
         }()},
    };
    TestMachine setup;
    const Machine machine = setup.Load();
    for (const ChunkLinesRow& row : rows) {
        WriteHostFile(setup.driveC() / "t.txt", row.bytes);
        auto file = InputFile::Open(machine, "C:\\t.txt");
        ASSERT_TRUE(file) << row.name;
        TextReader reader(std::move(*file));
        std::vector<std::string> lines;
        std::string line;
        while (reader.ReadLine(line))
            lines.push_back(line);
        EXPECT_FALSE(reader.failed()) << row.name;
        EXPECT_EQ(lines, row.lines) << row.name;
    }
}

}  // namespace
}  // namespace pelmo
