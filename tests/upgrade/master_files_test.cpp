// The material master conversions: the two line rules, the files they rewrite, and failures.
#include "upgrade/master_files.h"

#include <gtest/gtest.h>

#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

// A record of `length` bytes after `keys`, marked '<', '#', '>' at bytes 66 to 68
// (counted from 1) where it is that long; `without67` drops the '#'.
std::string Record(std::string keys, std::size_t length, bool without67 = false)
{
    keys.resize(length, '.');
    for (std::size_t i = 0; i < 3 && 65 + i < length; ++i)
        keys[65 + i] = "<#>"[i];
    if (without67 && length > 66)
        keys.erase(66, 1);
    return keys;
}

TEST(MasterLineRules, SizeDropsByte67OfSelectedRecordsAndTypeTurnsAOrBAtByte14IntoZ)
{
    const std::pair<std::string, std::string> sizeRows[] = {
        {Record("400400000107", 186), Record("400400000107", 186, true)},
        {Record("400400000111", 300), Record("400400000111", 300, true)},
        {Record("400400000107", 185), Record("400400000107", 185)},  // already converted
        {Record("400400000107", 67), Record("400400000107", 67, true)},
        {Record("400400000107", 66), Record("400400000107", 66)},
        {"400400000107", "400400000107"},
        {Record("400400000108", 186), Record("400400000108", 186)},
        {Record("400401000107", 186), Record("400401000107", 186)},
        {Record("300400000111", 186), Record("300400000111", 186)},
    };
    for (const auto& [line, converted] : sizeRows)
        EXPECT_EQ(ConvertSizeLine(line), converted) << line;
    const std::pair<std::string, std::string> typeRows[] = {
        {"1234567890123A567", "1234567890123Z567"}, {"1234567890123B", "1234567890123Z"},
        {"1234567890123a567", "1234567890123a567"}, {"1234567890123C567", "1234567890123C567"},
        {"123456789012A5A", "123456789012A5A"},     {"123456789012A", "123456789012A"},
    };
    for (const auto& [line, converted] : typeRows)
        EXPECT_EQ(ConvertTypeLine(line), converted) << line;
}

class MasterFilesTest : public ::testing::Test {
protected:
    fs::path Host(const std::string& relative) const { return tm.driveC() / "sys" / relative; }
    std::string Read(const std::string& relative) const { return ReadHostFile(Host(relative)); }
    std::vector<std::string> Names(const std::string& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Host(folder)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TestMachine tm;
    Machine machine = tm.Load();
    TestStage staged{machine};
    const std::string ini = "C:\\sys\\korimu1.ini";

    // Commits what a conversion staged, so that the disk shows it.
    int Committed(int result)
    {
        EXPECT_TRUE(staged.Commit());
        return result;
    }
};

TEST_F(MasterFilesTest, FilesAreReadAsTextAndWrittenWithCrLf)
{
    const std::pair<std::string, std::string> rows[] = {
        {"0123456789012A\r\nlast", "0123456789012Z\r\nlast\r\n"},
        {"0123456789012B\n\n", "0123456789012Z\r\n\r\n"},
        {"a\rb\r\r\n", "a\rb\r\r\n"},
        {"", ""},
    };
    for (const auto& [before, after] : rows) {
        WriteHostFile(Host("M/1/zai001-3.mst"), before);
        EXPECT_EQ(Committed(ConvertMaterialTypeInFolder(staged, "C:\\sys\\M\\1\\")), 1);
        EXPECT_EQ(Read("M/1/zai001-3.mst"), after);
    }
    EXPECT_EQ(Names("M/1"), std::vector<std::string>{"zai001-3.mst"});
}

TEST_F(MasterFilesTest, BothSubfoldersOfTheSettingsFilesMasterFolderAreConverted)
{
    const std::string line = "0123456789012A\r\n";
    WriteHostFile(Host("korimu1.ini"), "[SYSTEM]\r\nVERSION=3\r\n[dir]\r\nmaster=C:\\sys\\M\\\r\n");
    for (const char* name : {"M/1/zai001-3.mst", "M/1/ZAIb01-3.MST", "M/21/zai002-3.mst", "M/2/zai003-3.mst",
                             "M/1/zai12-3.mst", "M/1/zai1234-3.mst", "M/1/zai123-2.mst", "M/1/zai123-3.mst.bak"})
        WriteHostFile(Host(name), line);
    fs::create_directories(Host("M/1/zai999-3.mst"));
    EXPECT_EQ(Committed(ConvertMaterialType(staged, ini)), 1);
    for (const char* name : {"M/1/zai001-3.mst", "M/1/ZAIb01-3.MST", "M/21/zai002-3.mst"})
        EXPECT_EQ(Read(name), "0123456789012Z\r\n") << name;
    for (const char* name :
         {"M/2/zai003-3.mst", "M/1/zai12-3.mst", "M/1/zai1234-3.mst", "M/1/zai123-2.mst", "M/1/zai123-3.mst.bak"})
        EXPECT_EQ(Read(name), line) << name;
    // Without a MASTER key the subfolders are those of the current folder.
    WriteHostFile(Host("korimu1.ini"), "[DIR]\r\nWAV=x\r\n");
    WriteHostFile(Host("M/21/zai002-3.mst"), Record("400400000107", 186) + "\r\n");
    ASSERT_EQ(machine.ChDir("C:\\sys\\M"), 0);
    EXPECT_EQ(Committed(ConvertMaterialSize(staged, ini)), 1);
    EXPECT_EQ(Read("M/21/zai002-3.mst"), Record("400400000107", 186, true) + "\r\n");
    // Missing folders and settings files are no failure.
    EXPECT_EQ(Committed(ConvertMaterialSize(staged, "C:\\none\\korimu1.ini")), 1);
    EXPECT_EQ(Committed(ConvertMaterialTypeInFolder(staged, "Q:\\unmapped\\")), 1);
}

TEST_F(MasterFilesTest, AFailedFileStopsTheConversionAndLosesNothing)
{
    const std::string line = "0123456789012A\r\n";
    WriteHostFile(Host("korimu1.ini"), "[DIR]\r\nMASTER=C:\\sys\\M\\\r\n");
    for (const char* name : {"M/1/zai001-3.mst", "M/1/zai002-3.mst", "M/1/zai003-3.mst", "M/21/zai004-3.mst"})
        WriteHostFile(Host(name), line);
    fs::permissions(Host("M/1/zai002-3.mst"), fs::perms(0444));  // read-only even for root
    EXPECT_EQ(Committed(ConvertMaterialType(staged, ini)), 0);
    EXPECT_EQ(Read("M/1/zai001-3.mst"), "0123456789012Z\r\n");
    for (const char* name : {"M/1/zai002-3.mst", "M/1/zai003-3.mst", "M/21/zai004-3.mst"})
        EXPECT_EQ(Read(name), line) << name;
    EXPECT_EQ(Names("M/1"), (std::vector<std::string>{"zai001-3.mst", "zai002-3.mst", "zai003-3.mst"}));
}

TEST_F(MasterFilesTest, OnlyTheFirstThousandFilesInSearchOrderAreConverted)
{
    // Upper-cased UTF-16 order: digits, then "ZAIA00" (from "zaia00"), then "zai_00".
    for (int i = 0; i < 999; ++i)
        WriteHostFile(Host("M/1/zai" + std::to_string(1000 + i).substr(1) + "-3.mst"), "0123456789012A");
    WriteHostFile(Host("M/1/zai_00-3.mst"), "0123456789012A");
    WriteHostFile(Host("M/1/zaia00-3.mst"), "0123456789012A");
    std::vector<std::string> table = {"stale"};
    EXPECT_EQ(ListMatchingFiles(staged.view(), table, "C:\\sys\\M\\1\\zai??\?-3.mst"), 1000);
    EXPECT_EQ(table.back(), "zaia00-3.mst");
    EXPECT_EQ(Committed(ConvertMaterialTypeInFolder(staged, "C:\\sys\\M\\1\\")), 1);
    EXPECT_EQ(Read("M/1/zai998-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(Read("M/1/zaia00-3.mst"), "0123456789012Z\r\n");
    EXPECT_EQ(Read("M/1/zai_00-3.mst"), "0123456789012A");
}

}  // namespace
}  // namespace pelmo::test
