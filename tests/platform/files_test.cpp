// File services: existence, folders, copies, status, wildcard search, text lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::ReadHostFile;
using test::Sjis;
using test::TestMachine;
using test::WriteHostFile;

void MakeReadOnly(const fs::path& file)
{
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(c_ / "dir");
        WriteHostFile(c_ / "dir" / "file.txt", "content");
        WriteHostFile(c_ / "ro.txt", "read-only");
        MakeReadOnly(c_ / "ro.txt");
    }
    TestMachine setup_;
    fs::path c_ = setup_.driveC();
};

TEST_F(Files, AccessAsTheRuntimeAnswers)
{
    Machine machine = setup_.Load();
    const struct {
        const char* path;
        int mode;
        int expected;
    } rows[] = {
        {"C:\\dir\\", 0, 0},        {"C:\\dir", 0, 0},           {"C:\\dir/", 0, 0},
        {"C:\\dir\\\\", 0, 0},      {"C:\\dir\\file.txt", 0, 0}, {"C:\\dir\\file.txt\\", 0, -1},
        {"", 0, -1},                {"C:", 0, 0},                {"C:\\", 0, 0},
        {"c:\\", 0, 0},             {"\\", 0, 0},                {"Q:", 0, -1},
        {"Q:\\", 0, -1},            {"C:\\missing", 0, -1},      {"C:\\ro.txt", 2, -1},
        {"C:\\ro.txt", 6, -1},      {"C:\\ro.txt", 4, 0},        {"C:\\dir", 2, 0},
        {"C:\\DIR\\FILE.TXT", 2, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Access(machine, row.path, row.mode), row.expected) << row.path << " mode " << row.mode;
}

TEST_F(Files, MkDirMakesOneLevel)
{
    Machine machine = setup_.Load();
    EXPECT_EQ(MkDir(machine, "C:\\dir\\new"), 0);
    EXPECT_TRUE(fs::is_directory(c_ / "dir" / "new"));
    EXPECT_EQ(MkDir(machine, "C:\\dir\\new"), -1);
    EXPECT_EQ(MkDir(machine, "C:\\a\\b"), -1);
    EXPECT_FALSE(fs::exists(c_ / "a"));
}

TEST_F(Files, CopyFileReplacesCarriesTimeAndReadOnly)
{
    Machine machine = setup_.Load();
    fs::last_write_time(c_ / "ro.txt", fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
    auto sourceTime = fs::last_write_time(c_ / "ro.txt");

    // A new target gets the read-only attribute and the last-write time.
    ASSERT_TRUE(CopyFile(machine, "C:\\ro.txt", "C:\\dir\\copy.txt", false));
    EXPECT_EQ(ReadHostFile(c_ / "dir" / "copy.txt"), "read-only");
    EXPECT_EQ(fs::status(c_ / "dir" / "copy.txt").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(fs::last_write_time(c_ / "dir" / "copy.txt"), sourceTime);

    // An existing read-only target is refused, even for root.
    EXPECT_FALSE(CopyFile(machine, "C:\\dir\\file.txt", "C:\\dir\\copy.txt", false));
    EXPECT_EQ(ReadHostFile(c_ / "dir" / "copy.txt"), "read-only");

    // A writable target differently cased is replaced, not duplicated; it stays writable.
    WriteHostFile(c_ / "dir" / "FOO.EXE", "old");
    ASSERT_TRUE(CopyFile(machine, "C:\\ro.txt", "C:\\dir\\foo.exe", false));
    EXPECT_EQ(ReadHostFile(c_ / "dir" / "FOO.EXE"), "read-only");
    EXPECT_FALSE(fs::exists(c_ / "dir" / "foo.exe"));
    EXPECT_NE(fs::status(c_ / "dir" / "FOO.EXE").permissions() & fs::perms::owner_write, fs::perms::none);

    EXPECT_FALSE(CopyFile(machine, "C:\\dir\\file.txt", "C:\\dir\\FOO.EXE", true));
    EXPECT_FALSE(CopyFile(machine, "C:\\missing", "C:\\dir\\x", false));
    EXPECT_FALSE(CopyFile(machine, "C:\\dir\\file.txt", "C:\\nofolder\\x", false));
    EXPECT_FALSE(CopyFile(machine, "C:\\dir", "C:\\x", false));
    // Nothing but the targets was left behind: no work files.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(c_ / "dir"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"FOO.EXE", "copy.txt", "file.txt"}));
}

TEST_F(Files, StatusRoundTripAndAttributeZeroMakesWritable)
{
    Machine machine = setup_.Load();
    FileStatus status;
    ASSERT_TRUE(GetStatus(machine, "C:\\ro.txt", status));
    EXPECT_EQ(status.size, 9u);
    EXPECT_EQ(status.attribute, kAttributeArchive | kAttributeReadOnly);
    status.attribute = 0;
    status.modified = 981173106;  // 2001-02-03 04:05:06 UTC
    ASSERT_TRUE(SetStatus(machine, "C:\\ro.txt", status));
    EXPECT_EQ(Access(machine, "C:\\ro.txt", 2), 0);
    FileStatus after;
    ASSERT_TRUE(GetStatus(machine, "C:\\ro.txt", after));
    EXPECT_EQ(after.modified, 981173106);
    EXPECT_EQ(after.attribute & kAttributeReadOnly, 0);
    EXPECT_FALSE(GetStatus(machine, "C:\\missing", after));
    EXPECT_FALSE(SetStatus(machine, "C:\\missing", status));
    ASSERT_TRUE(GetStatus(machine, "C:\\dir", after));
    EXPECT_EQ(after.attribute, kAttributeFolder);
}

TEST(FindFiles, MatchesSortsAndReportsFolders)
{
    TestMachine setup;
    fs::path folder = setup.driveC() / "m";
    for (const char* name : {"zai123-3.mst", "ZAI456-3.MST", "zai12-3.mst", "zai1234-3.mst", "zaiabc-3.mstx",
                             "zai123-3.mst.bak"})
        WriteHostFile(folder / name, "x");
    fs::create_directories(folder / "zai999-3.mst");
    Machine machine = setup.Load();
    auto names = [&](const char* pattern) {
        std::vector<std::string> result;
        for (const FoundFile& found : FindFiles(machine, pattern))
            result.push_back(found.name + (found.isFolder ? "/" : ""));
        return result;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names("C:\\m\\zai???-3.mst"), (Names{"zai123-3.mst", "ZAI456-3.MST", "zai999-3.mst/"}));
    EXPECT_EQ(names("C:\\M\\ZAI???-3.MST"), (Names{"zai123-3.mst", "ZAI456-3.MST", "zai999-3.mst/"}));
    EXPECT_EQ(names("C:\\m\\zai??-3.mst"), (Names{"zai12-3.mst"}));
    EXPECT_EQ(names("C:\\m\\zai????-3.mst"), (Names{"zai1234-3.mst"}));
    // No 8.3 short names: *.mst does not find zaiabc-3.mstx.
    EXPECT_EQ(names("C:\\m\\*.mst"),
              (Names{"zai12-3.mst", "zai123-3.mst", "zai1234-3.mst", "ZAI456-3.MST", "zai999-3.mst/"}));
    EXPECT_EQ(names("C:\\m\\*").front(), "./");
    EXPECT_EQ(names("C:\\m\\*")[1], "../");
    EXPECT_EQ(names("C:\\m\\*.*").size(), 9u);
    EXPECT_TRUE(names("C:\\missing\\*").empty());
    EXPECT_TRUE(names("C:\\m\\nothing?").empty());
}

TEST(FindFiles, SortsByUpperCasedUtf16)
{
    TestMachine setup;
    fs::path folder = setup.driveC() / "s";
    for (const char* name : {"xZ1", "x~1", "x.1", "xａ", "xア", "xB1", "X-1", "x1", "xあ", "xa1", "x_1", "x①", "xｱ"})
        WriteHostFile(folder / name, "");
    Machine machine = setup.Load();
    std::vector<std::string> result;
    for (const FoundFile& found : FindFiles(machine, "C:\\s\\x*"))
        result.push_back(found.name);
    EXPECT_EQ(result, (std::vector<std::string>{"X-1", "x.1", "x1", "xa1", "xB1", "xZ1", "x_1", "x~1", Sjis("x①"),
                                                Sjis("xあ"), Sjis("xア"), Sjis("xａ"), Sjis("xｱ")}));
}

TEST(FindFiles, NamesCodePage932CannotExpressShowAsQuestionMarks)
{
    TestMachine setup;
    WriteHostFile(setup.driveC() / "e" / "a😀.txt", "");
    Machine machine = setup.Load();
    auto found = FindFiles(machine, "C:\\e\\*.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "a?.txt");
    EXPECT_EQ(Access(machine, "C:\\e\\" + found[0].name, 0), -1);
}

struct LinesRow {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(TextReader, ReadsTextModeLines)
{
    const LinesRow rows[] = {
        {"CRLF", "a\r\nb\r\n", {"a", "b"}},
        {"LF only", "a\nb\n", {"a", "b"}},
        {"no final line end", "a\nb", {"a", "b"}},
        {"empty lines stay", "\n\r\n\n", {"", "", ""}},
        {"lone CR is data", "a\rb\n", {"a\rb"}},
        {"Ctrl-Z ends the input", "a\nb\x1a" "c\nd\n", {"a", "b"}},
        {"Ctrl-Z at a line start", "a\n\x1a" "b\n", {"a"}},
        {"empty file", "", {}},
        {"NUL bytes are data", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    TestMachine setup;
    Machine machine = setup.Load();
    for (const LinesRow& row : rows) {
        WriteHostFile(setup.driveC() / "t.txt", row.bytes);
        auto file = InputFile::Open(machine, "C:\\t.txt");
        ASSERT_TRUE(file) << row.name;
        TextReader reader(std::move(*file));
        std::vector<std::string> lines;
        std::string line;
        while (reader.ReadLine(line))
            lines.push_back(line);
        EXPECT_EQ(lines, row.lines) << row.name;
    }
}

TEST(TextReader, ReadsAVeryLongLineWhole)
{
    TestMachine setup;
    std::string big(10 * 1024 * 1024, 'x');
    WriteHostFile(setup.driveC() / "big.txt", big + "\r\nnext");
    Machine machine = setup.Load();
    auto file = InputFile::Open(machine, "C:\\big.txt");
    ASSERT_TRUE(file);
    TextReader reader(std::move(*file));
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line.size(), big.size());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(ReplacementFile, CommitsWholeOrLeavesTheOldFile)
{
    TestMachine setup;
    WriteHostFile(setup.driveC() / "m" / "a.mst", "old");
    Machine machine = setup.Load();
    {
        auto file = ReplacementFile::Create(machine, "C:\\m\\a.mst", "C:\\m\\temp.mst");
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write("new"));
        EXPECT_EQ(ReadHostFile(setup.driveC() / "m" / "a.mst"), "old");
        // Dropped without Commit: the old file stays, the work file goes.
    }
    EXPECT_EQ(ReadHostFile(setup.driveC() / "m" / "a.mst"), "old");
    EXPECT_FALSE(fs::exists(setup.driveC() / "m" / "temp.mst"));

    auto file = ReplacementFile::Create(machine, "C:\\m\\a.mst", "C:\\m\\temp.mst");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("new"));
    ASSERT_TRUE(file->Commit());
    EXPECT_EQ(ReadHostFile(setup.driveC() / "m" / "a.mst"), "new");
    EXPECT_FALSE(fs::exists(setup.driveC() / "m" / "temp.mst"));
    EXPECT_FALSE(ReplacementFile::Create(machine, "C:\\nofolder\\a.mst").has_value());
}

TEST(ReplacementFile, AWorkPathItCannotOpenIsLeftAlone)
{
    TestMachine setup;
    WriteHostFile(setup.driveC() / "m" / "a.mst", "old");
    WriteHostFile(setup.driveC() / "elsewhere.txt", "keep");
    fs::create_symlink(setup.driveC() / "elsewhere.txt", setup.driveC() / "m" / "temp.mst");
    Machine machine = setup.Load();
    EXPECT_FALSE(ReplacementFile::Create(machine, "C:\\m\\a.mst", "C:\\m\\temp.mst").has_value());
    EXPECT_TRUE(fs::is_symlink(setup.driveC() / "m" / "temp.mst"));
    EXPECT_EQ(ReadHostFile(setup.driveC() / "elsewhere.txt"), "keep");
    EXPECT_EQ(ReadHostFile(setup.driveC() / "m" / "a.mst"), "old");
}

}  // namespace
}  // namespace pelmo
