// pelmo pack: what it finds in descriptions, and the package it writes from a SOURCE folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/pack_command.h"
#include "package/package_info.h"
#include "tests/support/test_machine.h"
#include "upgrade/pack/pack_builder.h"
#include "upgrade/pack/pack_description.h"
#include "wizard/qt_dialog_measure.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHead = "product: ｺﾘﾑ\nfolder: C:\\KORIMU\nversion: 2\n";

std::vector<std::string> Found(const Findings& findings)
{
    std::vector<std::string> found;
    for (const Finding& finding : findings.Sorted())
        found.push_back(std::to_string(finding.line) +
                        (finding.severity == Severity::Error ? " error: " : " warning: ") + finding.text);
    return found;
}

TEST(PackDescription, EachMistakeIsNamedAtItsLine)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"colour: red", "4 error: unknown key 'colour'"},
        {"just words", "4 error: expected 'key: value'"},
        {"version: 3", "4 error: 'version' is given more than once"},
        {"product:", "4 error: 'product' needs a value"},
        {"digitizer: 1", "4 error: 'digitizer' is yes or no"},
        {"keyword: 한", "4 error: 'keyword' cannot be written in code page 932: '한'"},
        {"start-notes: a\tb", "4 error: 'start-notes' holds a TAB, which info.txt cannot hold"},
        {"copy: a.txt", "4 error: expected 'copy: FILE TARGET [disk N]'"},
        {"copy: a.txt DOC disk 0", "4 error: 'disk' is followed by a disk number from 1"},
        {"archive: HELP.LZH help .", "4 error: an archive's NAME has no folder and no extension: '.lzh' is added"},
        {"copy: a,b.txt .", "4 error: a name or target with a comma, which ends an entry's field"},
        {"copy: x.txt " + std::string(31, 'D'),
         "4 error: the target has 32 bytes in code page 932; the run reads at most 31"},
    };
    for (const auto& [line, expected] : rows) {
        Findings findings;
        ParseDescription(std::string(kHead) + line + "\n", findings);
        EXPECT_EQ(Found(findings), std::vector<std::string>{expected}) << line;
    }
    Findings findings;
    ParseDescription("# nothing but a comment\n", findings);
    EXPECT_EQ(Found(findings),
              (std::vector<std::string>{"0 error: 'product' is missing", "0 error: 'folder' is missing",
                                        "0 error: 'version' is missing"}));
}

// A description saved on Windows, with blanks after values, reads the same.
TEST(PackDescription, FillsTheFixedLinesAsTheRunReadsThem)
{
    Findings findings;
    const PackDescription description = ParseDescription(
        std::string(kHead) + "start-notes: one \t\r\nstart-notes: two\r\nkeyword: ﾌﾟﾛ\nmain-picture: pics/main.bmp\n"
                             "start: kinds .\ncopy: docs/a.txt DOC/SUB disk 2\n",
        findings);
    EXPECT_TRUE(Found(findings).empty());
    const std::array<std::string, 21> expected = {
        Sjis("ｺﾘﾑ"), "NULL", "", "",           "", "C:\\KORIMU", "2", "0", "NULL", "0", "pics\\main.bmp",
        "",          "",     "", "one\t\ttwo", "", Sjis("ﾌﾟﾛ"),  "",  "",  "",     ""};
    EXPECT_EQ(description.fixedLines, expected);
    ASSERT_EQ(description.entries.size(), 2u);
    EXPECT_EQ(description.entries[0].name, "START");
    EXPECT_EQ(description.entries[0].target, "");
    EXPECT_EQ(description.entries[1].name, "docs\\a.txt");
    EXPECT_EQ(description.entries[1].target, "DOC\\SUB\\");
    EXPECT_EQ(description.entries[1].disk, 2);
}

const DialogMeasure& Measure()
{
    static const QtDialogMeasure measure;
    return measure;
}

// A SOURCE of three entries: an archive of two files, the START archives of two
// kinds and a 3,000-byte plain file.
fs::path Source(const TempDir& dir, const std::string& extra = "")
{
    const fs::path source = dir.path() / "src";
    WriteHostFile(source / "pack.txt", std::string(kHead) +
                                           "archive: HELP help HELP\nstart: kinds .\n"
                                           "copy: big.dat DATA\n" +
                                           extra);
    WriteHostFile(source / "help" / "a.txt", "alpha alpha alpha alpha alpha");
    WriteHostFile(source / "help" / "操作.txt", "b");
    WriteHostFile(source / "big.dat", std::string(3000, 'b'));
    WriteHostFile(source / "kinds" / "1" / "k.ini", "1");
    WriteHostFile(source / "kinds" / "99" / "k.ini", "99");
    return source;
}

TEST(Pack, FillsDisksInOrderAndWritesWhatTheRunReads)
{
    TempDir dir;
    const fs::path source = Source(dir);
    // 3,000 bytes take six sectors: beside info.txt and three archives (a sector each) they leave no room on disk 1.
    const PackResult result = BuildPackage({source, dir.path() / "out", 7 * 512, false}, Measure());
    EXPECT_TRUE(Found(result.description).empty()) << Found(result.description).front();
    // Only the kinds 1 and 99 have their START archive, which the check warns of.
    EXPECT_EQ(result.check.Status(), kCheckWarnings);
    ASSERT_TRUE(result.written);
    ASSERT_EQ(result.disks.size(), 2u);

    PackageInfo info;
    ASSERT_EQ(LoadPackageInfo(Machine::BuiltIn(), "Z:" + result.disks[0].string() + "/", info), 1);
    ASSERT_EQ(info.entryCount(), 3);
    EXPECT_EQ(info.productKeys[0], Sjis("ｺﾘﾑ"));
    const std::vector<std::string> entries = {"1,1,HELP,HELP\\", "1,1,START,", "2,0,BIG.DAT,DATA\\"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::to_string(info.entries[i].disk) + "," + std::to_string(info.entries[i].kind) + "," +
                      info.entries[i].fileName + "," + info.entries[i].targetSubfolder,
                  entries[static_cast<std::size_t>(i)]);
    for (const char* file :
         {"disk1/info.txt", "disk1/HELP.lzh", "disk1/START1.lzh", "disk1/START99.lzh", "disk2/big.dat"})
        EXPECT_TRUE(fs::is_regular_file(dir.path() / "out" / file)) << file;

    // The same SOURCE gives the same bytes.
    const PackResult again = BuildPackage({source, dir.path() / "again", 7 * 512, false}, Measure());
    ASSERT_TRUE(again.written);
    for (const char* file : {"disk1/info.txt", "disk1/HELP.lzh", "disk1/START99.lzh"})
        EXPECT_EQ(ReadHostFile(dir.path() / "out" / file), ReadHostFile(dir.path() / "again" / file)) << file;
}

TEST(Pack, RefusesAndLeavesNothingBehind)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"copy: missing.txt .", "7 error: no file missing.txt in "},
        {"archive: KINDS kinds .", "7 error: kinds/1 is a folder: the run extracts every member into one folder, so "
                                   "an archive holds files only"},
        {"copy: big.dat . disk 1", "7 error: disk 1 after disk 2: the run asks for disks in order and never for disk "
                                   "1 again"},
        {"copy: help/a.txt .\ncopy: help/a.txt DOC", "8 error: help\\a.txt is on disk 3 already"},
    };
    for (const auto& [line, expected] : rows) {
        TempDir dir;
        const fs::path source = Source(dir, line + "\n");
        const PackResult result = BuildPackage({source, dir.path() / "out", 7 * 512, false}, Measure());
        const std::vector<std::string> found = Found(result.description);
        ASSERT_EQ(found.size(), 1u) << line;
        EXPECT_EQ(found[0].substr(0, expected.size()), expected);
        EXPECT_FALSE(result.written);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << line;
    }

    TempDir dir;
    WriteHostFile(dir.path() / "out" / "keep.txt", "k");
    const PackResult result = BuildPackage({Source(dir), dir.path() / "out", kFloppyBytes, true}, Measure());
    EXPECT_EQ(result.problem, "pelmo: " + (dir.path() / "out").string() + " exists and is not an empty folder");
    EXPECT_EQ(ReadHostFile(dir.path() / "out" / "keep.txt"), "k");
}

TEST(Pack, ADeltaHoldsWhatDiffersFromTheInstalledSystemAndRequiresItsVersion)
{
    TempDir dir;
    const fs::path source = Source(dir);
    const fs::path old = dir.path() / "old";
    WriteHostFile(old / "korimu1.ini", "[SYSTEM]\r\nVERSION=3\r\n");
    WriteHostFile(old / "HELP" / "a.txt", "alpha alpha alpha alpha alpha");
    WriteHostFile(old / "HELP" / "gone.txt", "g");
    WriteHostFile(old / "DATA" / "BIG.DAT", std::string(3000, 'b'));
    PackRequest request{source, dir.path() / "out", kFloppyBytes, true};
    request.from = old;
    request.description = source / "pack.txt";
    const PackResult result = BuildPackage(request, Measure());
    ASSERT_TRUE(result.written);
    EXPECT_EQ(
        Found(result.description),
        std::vector<std::string>{"4 warning: " + old.string() +
                                 " has HELP\\gone.txt, which the package does not install: a run cannot remove it"});
    EXPECT_EQ(result.plan, std::vector<std::string>{"added C:\\KORIMU\\HELP\\操作.txt"});
    PackageInfo info;
    ASSERT_EQ(LoadPackageInfo(Machine::BuiltIn(), "Z:" + result.disks[0].string() + "/", info), 1);
    EXPECT_EQ(info.requiredVersion, "3");
    ASSERT_EQ(info.entryCount(), 2);  // BIG.DAT is installed as it is
    EXPECT_EQ(info.entries[1].fileName, "START");
}

TEST(PackCommand, ACommandLineItCannotActOnGets64AndTheUsage)
{
    // The command measures in a Qt application of its own; a test binary's has no platform by itself.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir dir;
    const std::string source = Source(dir).string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{source}, "pelmo: pack needs SOURCE and OUT"},
        {{"--disk-size", "4095", source, "out"}, "pelmo: --disk-size needs a number of bytes from 4096 to 4294967296"},
        {{"--disk-size=1e6", source, "out"}, "pelmo: --disk-size needs a number of bytes from 4096 to 4294967296"},
        {{"--one-folders", source, "out"}, "pelmo: unknown option --one-folders"},
        {{(dir.path() / "none").string(), (dir.path() / "out").string()},
         "pelmo: no such folder: " + (dir.path() / "none").string()},
    };
    for (const auto& [arguments, error] : rows) {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        std::ostringstream out, err;
        EXPECT_EQ(RunPackCommand(static_cast<int>(argv.size()), argv.data(), out, err), 64) << error;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')), error);
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out, err;
    const std::string outFolder = (dir.path() / "pkg").string();
    const char* argv[] = {"--one-folder", source.c_str(), outFolder.c_str()};
    EXPECT_EQ(RunPackCommand(3, argv, out, err), 1);  // the check's warning of the START kinds missing
    EXPECT_EQ(out.str().substr(0, outFolder.size() + 14), outFolder + "/info.txt:23: ");
}

}  // namespace
}  // namespace pelmo::test
