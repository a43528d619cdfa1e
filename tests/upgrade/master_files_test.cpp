// Tests of the material master conversions: line rules, files, folders and failures.
#include "upgrade/master_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::WriteHostFile;

// Written with an escape: "??-" would be a trigraph.
constexpr const char* kPattern = "zai??\?-3.mst";

// A record of `length` bytes starting with `keys`, filled with '.', and with '<',
// '#', '>' at positions 66, 67 and 68 where the record is that long.
std::string Record(std::string_view keys, std::size_t length)
{
    std::string record(keys.substr(0, length));
    record.resize(length, '.');
    const char marks[] = {'<', '#', '>'};
    for (std::size_t i = 0; i < 3; ++i) {
        if (65 + i < length)
            record[65 + i] = marks[i];
    }
    return record;
}

// The same record with its 67th byte, the '#', taken out.
std::string RecordWithout67(std::string_view keys, std::size_t length)
{
    std::string record(keys);
    record.resize(length - 1, '.');
    record[65] = '<';
    if (length > 67)
        record[66] = '>';
    return record;
}

struct LineRow {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(MasterLineRules, SizeRuleDropsThe67thByteOfSelectedRecords)
{
    const std::vector<LineRow> rows = {
        {"186 bytes, 000107", Record("400400000107", 186), RecordWithout67("400400000107", 186)},
        {"186 bytes, 000111", Record("400400000111", 186), RecordWithout67("400400000111", 186)},
        {"300 bytes", Record("400400000111", 300), RecordWithout67("400400000111", 300)},
        {"185 bytes already converted", Record("400400000107", 185), Record("400400000107", 185)},
        {"184 bytes", Record("400400000107", 184), RecordWithout67("400400000107", 184)},
        {"68 bytes", Record("400400000107", 68), RecordWithout67("400400000107", 68)},
        {"67 bytes lose the last", Record("400400000107", 67), RecordWithout67("400400000107", 67)},
        {"66 bytes", Record("400400000107", 66), Record("400400000107", 66)},
        {"exactly the keys", "400400000107", "400400000107"},
        {"shorter than the keys", "40040000010", "40040000010"},
        {"empty", "", ""},
        {"other second key", Record("400400000108", 186), Record("400400000108", 186)},
        {"second key in lower positions", Record("400400 000107", 186), Record("400400 000107", 186)},
        {"000107 under another first key", Record("400401000107", 186), Record("400401000107", 186)},
        {"000111 under another first key", Record("300400000111", 186), Record("300400000111", 186)},
        {"double-byte text counts bytes",
         std::string("400400000107") + std::string(53, ' ') + "\x82\xa0\x82\xa2" + std::string(120, ' '),
         std::string("400400000107") + std::string(53, ' ') + "\x82\x82\xa2" + std::string(120, ' ')},
    };
    for (const LineRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ConvertSizeLine(row.input), row.expected);
        // A second conversion leaves a converted record alone only at 185 bytes.
        if (row.input.size() == 186) {
            EXPECT_EQ(ConvertSizeLine(ConvertSizeLine(row.input)), row.expected);
        }
    }
}

TEST(MasterLineRules, TypeRuleTurnsUpperCaseAAndBAtByte14IntoZ)
{
    const std::vector<LineRow> rows = {
        {"A at 14", "1234567890123A567890", "1234567890123Z567890"},
        {"B at 14", "1234567890123B567890", "1234567890123Z567890"},
        {"lower-case a", "1234567890123a567890", "1234567890123a567890"},
        {"lower-case b", "1234567890123b567890", "1234567890123b567890"},
        {"C at 14", "1234567890123C567890", "1234567890123C567890"},
        {"Z at 14 stays", "1234567890123Z567890", "1234567890123Z567890"},
        {"exactly 14 bytes ending in B", "1234567890123B", "1234567890123Z"},
        {"A at 13 and 15 only", "123456789012A5A", "123456789012A5A"},
        {"13 bytes", "123456789012A", "123456789012A"},
        {"empty", "", ""},
        {"other bytes kept", "AB\x82\xa0\t xyz   BA\x82\xa0", "AB\x82\xa0\t xyz   BZ\x82\xa0"},
    };
    for (const LineRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ConvertTypeLine(row.input), row.expected);
    }
}

class MasterFilesTest : public ::testing::Test {
protected:
    fs::path HostFolder(std::string_view sub) const { return tm.driveC() / "sys" / "MASTER" / sub; }
    static std::string Folder(std::string_view sub) { return "C:\\sys\\MASTER\\" + std::string(sub) + "\\"; }
    void WriteIni(std::string_view content) { WriteHostFile(tm.driveC() / "sys" / "korimu1.ini", content); }

    // The host names of one folder, sorted.
    std::vector<std::string> Names(std::string_view sub) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(HostFolder(sub)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TestMachine tm;
    Machine machine = tm.Load();
    const std::string ini = "C:\\sys\\korimu1.ini";
};

struct FileRow {
    const char* name;
    std::string input;
    std::string expected;
};

TEST_F(MasterFilesTest, FilesAreReadInTextModeAndWrittenWithCrLf)
{
    const std::string longLine = "0123456789012A" + std::string(200000, 'x');
    const std::vector<FileRow> rows = {
        {"last line without a line end", "0123456789012A\r\nlast", "0123456789012Z\r\nlast\r\n"},
        {"empty lines stay empty", "a\r\n\r\n\r\nb\r\n", "a\r\n\r\n\r\nb\r\n"},
        {"LF only", "0123456789012B\nb\n\n", "0123456789012Z\r\nb\r\n\r\n"},
        {"only a line feed", "\n", "\r\n"},
        {"empty file", "", ""},
        {"Ctrl-Z ends the input", "a\r\nb\x1a" "0123456789012A\r\n", "a\r\nb\r\n"},
        {"Ctrl-Z at a line start", "a\r\n\x1a" "more\r\n", "a\r\n"},
        {"a lone CR is kept", "a\rb\r\r\n", "a\rb\r\r\n"},
        {"a line longer than the read buffer", longLine + "\n", "0123456789012Z" + longLine.substr(14) + "\r\n"},
    };
    for (const FileRow& row : rows) {
        SCOPED_TRACE(row.name);
        WriteHostFile(HostFolder("1") / "zai001-3.mst", row.input);
        EXPECT_EQ(ConvertMaterialTypeInFolder(machine, Folder("1")), 1);
        EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), row.expected);
    }
    EXPECT_EQ(Names("1"), std::vector<std::string>{"zai001-3.mst"});
}

TEST_F(MasterFilesTest, SizeConversionTwiceLeavesTheFileAsTheFirstMadeIt)
{
    const std::string before = Record("400400000107", 186) + "\r\n" + Record("400400000111", 185) + "\r\n" +
                               Record("400400000108", 186) + "\r\n";
    const std::string after = RecordWithout67("400400000107", 186) + "\r\n" + Record("400400000111", 185) +
                              "\r\n" + Record("400400000108", 186) + "\r\n";
    WriteHostFile(HostFolder("1") / "zai001-3.mst", before);
    EXPECT_EQ(ConvertMaterialSizeInFolder(machine, Folder("1")), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), after);
    EXPECT_EQ(ConvertMaterialSizeInFolder(machine, Folder("1")), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), after);
}

TEST_F(MasterFilesTest, LeftoverWorkFileIsReusedAndGone)
{
    WriteHostFile(HostFolder("1") / "temp.mst", std::string(5000, 'j'));
    WriteHostFile(HostFolder("1") / "zai001-3.mst", "0123456789012A\n");
    EXPECT_EQ(ConvertMaterialTypeInFolder(machine, Folder("1")), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(Names("1"), std::vector<std::string>{"zai001-3.mst"});
}

TEST_F(MasterFilesTest, OnlyNamesMatchingThePatternAreConverted)
{
    const std::string line = "0123456789012A\r\n";
    const std::vector<std::pair<std::string, bool>> rows = {
        {"zai001-3.mst", true},    {"ZAI456-3.MST", true},    {"Zai7b9-3.Mst", true},
        {"zai12-3.mst", false},    {"zai1234-3.mst", false},  {"zaiabc-3.mstx", false},
        {"zai123-3.mst.bak", false}, {"zai123-2.mst", false}, {"xzai123-3.mst", false},
    };
    for (const auto& row : rows)
        WriteHostFile(HostFolder("1") / row.first, line);
    fs::create_directories(HostFolder("1") / "zai999-3.mst");
    EXPECT_EQ(ConvertMaterialTypeInFolder(machine, Folder("1")), 1);
    for (const auto& [name, converted] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadHostFile(HostFolder("1") / name), converted ? "0123456789012Z\r\n" : line);
    }
    EXPECT_TRUE(fs::is_directory(HostFolder("1") / "zai999-3.mst"));
}

TEST_F(MasterFilesTest, ListingSkipsFoldersAndKeepsTheSearchOrder)
{
    // Names sort as upper-cased UTF-16: '0' < 'A' (from 'a') < '_'.
    for (const char* name : {"zai_03-3.mst", "zaia02-3.mst", "zai003-3.mst", "ZAIB01-3.MST"})
        WriteHostFile(HostFolder("1") / name, "x");
    fs::create_directories(HostFolder("1") / "zai004-3.mst");
    std::vector<std::string> table = {"stale"};
    EXPECT_EQ(ListMatchingFiles(machine, table, Folder("1") + kPattern), 4);
    EXPECT_EQ(table, (std::vector<std::string>{"zai003-3.mst", "zaia02-3.mst", "ZAIB01-3.MST", "zai_03-3.mst"}));

    EXPECT_EQ(ListMatchingFiles(machine, table, Folder("missing") + kPattern), 0);
    EXPECT_TRUE(table.empty());
}

TEST_F(MasterFilesTest, MasterFolderOf63BytesMakesALongerPatternThatWorks)
{
    // "C:\" + 59 bytes + "\" is the longest value the 64-byte buffer holds.
    const std::string name(59, 'm');
    const std::string master = "C:\\" + name + "\\";
    ASSERT_EQ(master.size(), 63u);
    WriteIni("[DIR]\r\nMASTER=" + master + "\r\n");
    WriteHostFile(tm.driveC() / name / "21" / "zai001-3.mst", "0123456789012B\r\n");
    EXPECT_EQ(ConvertMaterialType(machine, ini), 1);
    EXPECT_EQ(ReadHostFile(tm.driveC() / name / "21" / "zai001-3.mst"), "0123456789012Z\r\n");
}

TEST_F(MasterFilesTest, ReadOnlyMasterFileStopsTheConversion)
{
    const std::string line = "0123456789012A\r\n";
    WriteIni("[DIR]\r\nMASTER=C:\\sys\\MASTER\\\r\n");
    for (const char* name : {"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"})
        WriteHostFile(HostFolder("1") / name, line);
    WriteHostFile(HostFolder("21") / "zai004-3.mst", line);
    // No write bits: read-only even for root.
    fs::permissions(HostFolder("1") / "zai002-3.mst", fs::perms(0444));

    EXPECT_EQ(ConvertMaterialType(machine, ini), 0);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai002-3.mst"), line);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai003-3.mst"), line);
    EXPECT_EQ(ReadHostFile(HostFolder("21") / "zai004-3.mst"), line);
    EXPECT_EQ(Names("1"), (std::vector<std::string>{"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"}));
}

TEST_F(MasterFilesTest, WorkFileThatCannotBeCreatedLosesNothing)
{
    const std::string before = Record("400400000107", 186) + "\n";
    WriteIni("[DIR]\r\nMASTER=C:\\sys\\MASTER\\\r\n");
    WriteHostFile(HostFolder("1") / "zai001-3.mst", before);
    WriteHostFile(HostFolder("21") / "zai002-3.mst", before);
    fs::create_directories(HostFolder("1") / "temp.mst");

    EXPECT_EQ(ConvertMaterialSize(machine, ini), 0);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), before);
    EXPECT_EQ(ReadHostFile(HostFolder("21") / "zai002-3.mst"), before);
    EXPECT_EQ(Names("1"), (std::vector<std::string>{"temp.mst", "zai001-3.mst"}));
    EXPECT_EQ(Names("21"), std::vector<std::string>{"zai002-3.mst"});
}

TEST_F(MasterFilesTest, BothSubfoldersAreConvertedFromTheSettingsFile)
{
    WriteIni("[SYSTEM]\r\nVERSION=3\r\n[dir]\r\nmaster=C:\\sys\\MASTER\\\r\n");
    WriteHostFile(HostFolder("1") / "zai001-3.mst", Record("400400000111", 186) + "\r\n");
    WriteHostFile(HostFolder("21") / "zai002-3.mst", Record("400400000107", 186) + "\r\n");
    WriteHostFile(HostFolder("2") / "zai003-3.mst", Record("400400000107", 186) + "\r\n");

    EXPECT_EQ(ConvertMaterialSize(machine, ini), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), RecordWithout67("400400000111", 186) + "\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("21") / "zai002-3.mst"), RecordWithout67("400400000107", 186) + "\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("2") / "zai003-3.mst"), Record("400400000107", 186) + "\r\n");
}

TEST_F(MasterFilesTest, MissingMasterKeyMeansSubfoldersOfTheCurrentFolder)
{
    WriteIni("[DIR]\r\nWAV=C:\\sys\\wav\\\r\n");
    WriteHostFile(HostFolder("1") / "zai001-3.mst", "0123456789012A\r\n");
    WriteHostFile(HostFolder("21") / "zai002-3.mst", "0123456789012B\r\n");
    ASSERT_EQ(machine.ChDir("C:\\sys\\MASTER"), 0);

    EXPECT_EQ(ConvertMaterialType(machine, ini), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai001-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("21") / "zai002-3.mst"), "0123456789012Z\r\n");
}

TEST_F(MasterFilesTest, MissingFoldersAndFilesAreNoFailure)
{
    EXPECT_EQ(ConvertMaterialSizeInFolder(machine, Folder("nowhere")), 1);
    EXPECT_EQ(ConvertMaterialTypeInFolder(machine, "Q:\\unmapped\\"), 1);
    // No settings file at all: "1\" and "21\" of the root of C:, which lacks them.
    EXPECT_EQ(ConvertMaterialSize(machine, "C:\\none\\korimu1.ini"), 1);
    WriteIni("[DIR]\r\nMASTER=C:\\nowhere\\\r\n");
    EXPECT_EQ(ConvertMaterialType(machine, ini), 1);
}

TEST_F(MasterFilesTest, AThousandFilesAreAllConverted)
{
    char name[16];
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(name, sizeof name, "zai%03d-3.mst", i);
        WriteHostFile(HostFolder("1") / name, "0123456789012A");
    }
    EXPECT_EQ(ConvertMaterialTypeInFolder(machine, Folder("1")), 1);
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(name, sizeof name, "zai%03d-3.mst", i);
        ASSERT_EQ(ReadHostFile(HostFolder("1") / name), "0123456789012Z\r\n") << name;
    }
}

TEST_F(MasterFilesTest, BeyondAThousandFilesOnlyTheFirstInSearchOrderAreConverted)
{
    // 999 digit names, then "zaia00" and last "zai_00": '_' sorts after the
    // upper-cased 'a', though before it in byte order.
    char name[16];
    for (int i = 0; i < 999; ++i) {
        std::snprintf(name, sizeof name, "zai%03d-3.mst", i);
        WriteHostFile(HostFolder("1") / name, "0123456789012A");
    }
    WriteHostFile(HostFolder("1") / "zai_00-3.mst", "0123456789012A");
    WriteHostFile(HostFolder("1") / "zaia00-3.mst", "0123456789012A");

    std::vector<std::string> table;
    EXPECT_EQ(ListMatchingFiles(machine, table, Folder("1") + kPattern), 1000);
    EXPECT_EQ(ConvertMaterialTypeInFolder(machine, Folder("1")), 1);
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai000-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai998-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zaia00-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(ReadHostFile(HostFolder("1") / "zai_00-3.mst"), "0123456789012A");
}

}  // namespace
}  // namespace pelmo
