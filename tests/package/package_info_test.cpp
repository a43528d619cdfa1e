// Reading info.txt: fixed lines, entry lines, notes line breaks, and SourceFolder.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "package/package_info.h"
#include "package/source_folder.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

using test::Sjis;
using test::TestMachine;
using test::WriteHostFile;

// 21 fixed lines with recognisable values, CRLF line ends.
std::string FixedLines()
{
    std::string text;
    const char* lines[] = {"Product", "NULL", "k3", "k4", "k5", "C:\\KORIMU", "2", "1", "NULL", "1",
                           "main.bmp", "start.bmp", "dest.bmp", "conf.bmp", "notes\t\tA", "dest", "kw1",
                           "kw2", "", "kw4", "kw5"};
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

class PackageReader : public ::testing::Test {
protected:
    PackageInfo Load(const std::string& bytes, int expectedResult = 1)
    {
        WriteHostFile(setup_.driveC() / "pkg" / "info.txt", bytes);
        Machine machine = setup_.Load();
        PackageInfo info;
        EXPECT_EQ(LoadPackageInfo(machine, "C:\\pkg\\", info), expectedResult);
        return info;
    }
    TestMachine setup_;
};

TEST_F(PackageReader, ReadsTheFixedLinesIntoTheirFields)
{
    PackageInfo info = Load(FixedLines());
    EXPECT_EQ(info.productKeys[0], "Product");
    EXPECT_EQ(info.productKeys[1], "NULL");
    EXPECT_EQ(info.installFolder, "C:\\KORIMU");
    EXPECT_EQ(info.requiredVersion, "2");
    EXPECT_EQ(info.masterAdjustFlag, "1");
    EXPECT_EQ(info.systemIniName, "NULL");
    EXPECT_EQ(info.digitizerFlag, "1");
    EXPECT_EQ(info.mainPicture, "main.bmp");
    EXPECT_EQ(info.confirmPicture, "conf.bmp");
    EXPECT_EQ(info.startNotes, "notes\r\nA");
    EXPECT_EQ(info.destinationNotes, "dest");
    EXPECT_EQ(info.titleKeywords, (std::array<std::string, 5>{"kw1", "kw2", "", "kw4", "kw5"}));
    EXPECT_EQ(info.entryCount(), 0);  // exactly 21 lines
}

TEST_F(PackageReader, AShortFileLeavesTheRestEmpty)
{
    PackageInfo info = Load("Title\nA\n");
    EXPECT_EQ(info.productKeys[0], "Title");
    EXPECT_EQ(info.productKeys[1], "A");
    EXPECT_TRUE(info.installFolder.empty());
    EXPECT_TRUE(info.titleKeywords[4].empty());
    EXPECT_EQ(info.entryCount(), 0);
}

TEST_F(PackageReader, AMissingFileGivesZeroAndNoEntries)
{
    Machine machine = setup_.Load();
    PackageInfo info;
    info.entries.push_back({});
    EXPECT_EQ(LoadPackageInfo(machine, "C:\\nowhere\\", info), 0);
    EXPECT_EQ(info.entryCount(), 0);
    EXPECT_TRUE(info.productKeys[0].empty());
}

TEST_F(PackageReader, ReadsThroughADriveRootSourceFolder)
{
    fs::path floppy = setup_.AddDrive('a');
    WriteHostFile(floppy / "info.txt", "Floppy package\r\n");
    Machine machine = setup_.Load();
    PackageInfo info;
    ASSERT_EQ(LoadPackageInfo(machine, "A:", info), 1);
    EXPECT_EQ(info.productKeys[0], "Floppy package");
}

struct EntryRow {
    const char* name;
    std::string line;
    int disk;
    int kind;
    std::string fileName;
    std::string targetSubfolder;
};

TEST(PackageEntryLine, SplitsFieldsAsWritten)
{
    const EntryRow rows[] = {
        {"plain archive entry", "1,1,data,BIN\\", 1, 1, "DATA", "BIN\\"},
        {"lower-case start becomes START", "1,1,start,\\", 1, 1, "START", "\\"},
        {"blank after a comma stays in text fields", "2, 1, file.txt, SUB\\", 2, 1, " FILE.TXT", " SUB\\"},
        {"fifth comma on is ignored", "1,2,a.txt,d\\,extra,more", 1, 2, "A.TXT", "d\\"},
        {"trail byte that is a lower-case letter", "1,2,\x83\x61x.txt,\\", 1, 2, "\x83\x61X.TXT", "\\"},
        {"full-width lower case becomes capitals", "1,2,\x82\x81.txt,\\", 1, 2, "\x82\x60.TXT", "\\"},
        {"missing fields are empty", "3,1", 3, 1, "", ""},
        {"empty middle field", "1,,name,sub\\", 1, 0, "NAME", "sub\\"},
        {"numbers that are not numbers", "x,y,n,s", 0, 0, "N", "s"},
        {"long fields are kept whole", "1,2," + std::string(40, 'a') + "," + std::string(40, 'b'), 1, 2,
         std::string(40, 'A'), std::string(40, 'b')},
    };
    for (const EntryRow& row : rows) {
        PackageEntry entry = ParseEntryLine(row.line);
        EXPECT_EQ(entry.disk, row.disk) << row.name;
        EXPECT_EQ(entry.kind, row.kind) << row.name;
        EXPECT_EQ(entry.fileName, row.fileName) << row.name;
        EXPECT_EQ(entry.targetSubfolder, row.targetSubfolder) << row.name;
    }
}

TEST_F(PackageReader, ReadsEveryEntryLineAndSkipsBlankOnes)
{
    std::string text = FixedLines();
    for (int i = 0; i < 150; ++i)
        text += "1,2,file" + std::to_string(i) + ".txt,\\\r\n";
    text += "\r\n \t\r\n";  // blank lines, as editors leave them
    text += "2,1,last,\r\n\r\n";
    PackageInfo info = Load(text);
    ASSERT_EQ(info.entryCount(), 151);
    EXPECT_EQ(info.entries[149].fileName, "FILE149.TXT");
    EXPECT_EQ(info.entries[150].fileName, "LAST");
    EXPECT_EQ(info.entries[150].disk, 2);
}

TEST_F(PackageReader, NullLinesAreValues)
{
    std::string text = FixedLines() + "1,1,NULL,NULL\r\n";
    PackageInfo info = Load(text);
    EXPECT_EQ(info.productKeys[1], "NULL");
    EXPECT_EQ(info.systemIniName, "NULL");
    ASSERT_EQ(info.entryCount(), 1);
    EXPECT_EQ(info.entries[0].fileName, "NULL");
}

TEST_F(PackageReader, ReadsInTextMode)
{
    PackageInfo info = Load("A\nB\r\nC\rD\r\n\x1a" "E\r\n");
    EXPECT_EQ(info.productKeys[0], "A");
    EXPECT_EQ(info.productKeys[1], "B");
    EXPECT_EQ(info.productKeys[2], "C\rD");
    EXPECT_TRUE(info.productKeys[3].empty());  // Ctrl-Z ended the file
}

struct NotesRow {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(PackageNotes, TabsBecomeLineBreaks)
{
    std::string many;
    std::string manyExpected;
    for (int i = 0; i < 101; ++i) {
        many += "x\t\t";
        manyExpected += i < 100 ? "x\r\n" : "x\t\t";
    }
    const NotesRow rows[] = {
        {"TAB pair", "A\t\tB", "A\r\nB"},
        {"TAB and another byte", "A\txB", "A\r\nB"},
        {"TAB and a blank", "A\t B", "A\r\nB"},
        {"TAB before a double-byte character loses its lead byte", "A\t\x82\xA0", "A\r\n\xA0"},
        {"no TAB", "plain", "plain"},
        {"TAB as the last byte", "end\t", "end\r"},
        {"101 line breaks: the last TAB pair stays", many, manyExpected},
    };
    for (const NotesRow& row : rows) {
        std::string text = row.input;
        ConvertTabsToLineBreaks(text);
        EXPECT_EQ(text, row.expected) << row.name;
        EXPECT_EQ(text.size(), row.input.size()) << row.name;
    }
}

TEST_F(PackageReader, NotesLinesAreConvertedAfterReading)
{
    std::string text = FixedLines();
    text.replace(text.find("dest\r\n"), 6, "one\t two\t\tthree\r\n");
    PackageInfo info = Load(text);
    EXPECT_EQ(info.destinationNotes, "one\r\ntwo\r\nthree");
}

TEST_F(PackageReader, HostileFilesNeverCrash)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(1 + random() % 4096, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        PackageInfo info = Load(bytes);
        EXPECT_LE(info.entryCount(), static_cast<int>(bytes.size()));
    }
    PackageInfo info = Load(std::string(10 * 1024 * 1024, ','));  // one 10 MB line
    EXPECT_EQ(info.productKeys[0].size(), 10u * 1024 * 1024);
    EXPECT_EQ(info.entryCount(), 0);
}

struct SourceRow {
    const char* executable;
    const char* expected;
};

TEST(SourceFolder, DriveAndFolderOfTheProgram)
{
    const std::string longFolder = "C:\\" + std::string(100, 'f') + "\\";
    const SourceRow rows[] = {
        {"A:\\PELMO.EXE", "A:"},
        {"D:\\PELMO.EXE", "D:"},
        {"A:\\SETUP\\PELMO.EXE", "A:\\SETUP\\"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\PELMO.EXE", "C:\\\x83\x5C\x83\x74\x83\x67\\"},
        {"C:/pkg/pelmo", "C:/pkg/"},
        {"PELMO.EXE", ""},
        {"C:\\X\\", "C:\\X\\"},
    };
    for (const SourceRow& row : rows)
        EXPECT_EQ(SourceFolderFromExecutable(row.executable), row.expected) << row.executable;
    EXPECT_EQ(SourceFolderFromExecutable(longFolder + "PELMO.EXE"), longFolder);
}

}  // namespace
}  // namespace pelmo
