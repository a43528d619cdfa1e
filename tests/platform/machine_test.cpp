// The machine: drive mapping, drive types, current folders and path resolution.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/machine.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Sjis;
using test::TestMachine;
using test::WriteHostFile;

constexpr char kDrivesRegistry[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n\n"
    "#arch=win32\n\n"
    "[Software\\\\Wine\\\\Drives] 1796596187\n"
    "#time=1dd85d14d13f50a\n"
    "\"a:\"=\"hd\"\n"
    "\"d:\"=\"floppy\"\n"
    "\"e:\"=\"cdrom\"\n"
    "\"f:\"=\"network\"\n";

TEST(MachineDriveType, DefaultsWithoutRegistryValues)
{
    TestMachine setup;
    for (char letter : {'a', 'b', 'd', 'e'})
        setup.AddDrive(letter);
    Machine machine = setup.Load();
    const struct {
        const char* path;
        DriveType expected;
    } rows[] = {
        {"A:", DriveType::Removable},  {"A:\\", DriveType::Removable}, {"a:\\", DriveType::Removable},
        {"B:\\", DriveType::Removable}, {"D:\\", DriveType::Fixed},     {"E:", DriveType::Fixed},
        {"C:", DriveType::Fixed},       {"c:\\", DriveType::Fixed},     {"Q:\\", DriveType::NoRootDir},
        {"", DriveType::NoRootDir},     {"C", DriveType::NoRootDir},    {"\\", DriveType::Fixed},
        // Only a root names a drive.
        {"A:\\sub", DriveType::NoRootDir}, {"C:\\windows", DriveType::NoRootDir},
        {"A:info.txt", DriveType::NoRootDir},
    };
    for (const auto& row : rows)
        EXPECT_EQ(machine.GetDriveType(row.path), row.expected) << row.path;
}

TEST(MachineDriveType, RegistryValuesDecide)
{
    TestMachine setup;
    for (char letter : {'a', 'b', 'd', 'e', 'f'})
        setup.AddDrive(letter);
    setup.SetRegistry(kDrivesRegistry);
    Machine machine = setup.Load();
    EXPECT_EQ(machine.GetDriveType("A:\\"), DriveType::Fixed);
    EXPECT_EQ(machine.GetDriveType("B:\\"), DriveType::Removable);
    EXPECT_EQ(machine.GetDriveType("D:\\"), DriveType::Removable);
    EXPECT_EQ(machine.GetDriveType("E:\\"), DriveType::CdRom);
    EXPECT_EQ(machine.GetDriveType("F:\\"), DriveType::Remote);
    EXPECT_EQ(machine.GetDriveType("C:\\"), DriveType::Fixed);
}

TEST(MachineDrives, ListsMappedDrivesInLetterOrder)
{
    TestMachine setup;
    setup.AddDrive('e');
    setup.AddDrive('a');
    Machine machine = setup.Load();
    EXPECT_EQ(machine.DriveList(), (std::vector<std::string>{"[-a-]", "[-c-]", "[-e-]"}));
    EXPECT_EQ(machine.GetWindowsDirectory(), "C:\\windows");
}

TEST(MachineDrives, AFloppyLinkWithoutADiskStillNamesADrive)
{
    TestMachine setup;
    fs::create_symlink(setup.folder() / "no-disk-here", setup.folder() / "dosdevices" / "a:");
    Machine machine = setup.Load();
    EXPECT_EQ(machine.GetDriveType("A:"), DriveType::Removable);
    EXPECT_TRUE(machine.ToHost("A:\\info.txt").has_value());
}

class MachinePaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        floppy_ = setup_.AddDrive('a');
        fs::create_directories(setup_.driveC() / "App" / "SUB");
        fs::create_directories(setup_.driveC() / "ソフト" / "データ");
        fs::create_directories(floppy_ / "disk1");
        WriteHostFile(setup_.driveC() / "FOO.EXE", "old");
        WriteHostFile(setup_.driveC() / "ＡＢＣ.txt", "wide");
    }
    fs::path C(const fs::path& relative = {}) const { return relative.empty() ? setup_.driveC() : setup_.driveC() / relative; }

    TestMachine setup_;
    fs::path floppy_;
};

TEST_F(MachinePaths, ResolvesWindowsFormsOntoTheHost)
{
    Machine machine = setup_.Load();
    ASSERT_EQ(machine.ChDir("C:\\App"), 0);
    ASSERT_EQ(machine.ChDir("A:\\disk1"), 0);
    ASSERT_EQ(machine.ChDir("C:\\"), 0);  // back on C:, while A: remembers disk1
    const struct {
        std::string path;
        fs::path expected;
    } rows[] = {
        {"C:\\", C()},
        {"C:", C()},
        {"A:", floppy_ / "disk1"},
        {"A:info.txt", floppy_ / "disk1" / "info.txt"},
        {"A:\\info.txt", floppy_ / "info.txt"},
        {"1\\", C("1")},
        {"\\App\\SUB", C("App/SUB")},
        {"C:\\APP\\sub\\x.dat", C("App/SUB/x.dat")},
        {"C:/App/SUB/", C("App/SUB")},
        {"C:\\..\\..\\App", C("App")},
        {"C:\\App\\..\\..\\FOO.EXE", C("FOO.EXE")},
        {"C:\\.\\App\\.\\SUB", C("App/SUB")},
        {"c:\\foo.exe", C("FOO.EXE")},
        {Sjis("C:\\ａｂｃ.TXT"), C("ＡＢＣ.txt")},
        {Sjis("C:\\ソフト\\データ\\a.ini"), C("ソフト/データ/a.ini")},
        {"C:\\new\\name.TXT", C("new/name.TXT")},
    };
    for (const auto& row : rows) {
        auto host = machine.ToHost(row.path);
        ASSERT_TRUE(host.has_value()) << row.path;
        EXPECT_EQ(*host, row.expected) << row.path;
    }
}

TEST_F(MachinePaths, RefusesWhatNamesNoDrive)
{
    Machine machine = setup_.Load();
    for (const std::string& path : {std::string("Q:\\x"), std::string("\\\\server\\share\\x"), std::string("C:\\a\0b", 6)})
        EXPECT_FALSE(machine.ToHost(path).has_value()) << path;
}

TEST_F(MachinePaths, ATrailByte5CIsNoSeparator)
{
    fs::create_directories(C("ソ"));
    Machine machine = setup_.Load();
    auto host = machine.ToHost(Sjis("C:\\ソ\\x"));
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, C("ソ/x"));
}

TEST_F(MachinePaths, CurrentFoldersAreKeptPerDrive)
{
    Machine machine = setup_.Load();
    EXPECT_EQ(machine.ChDir("a:\\DISK1"), 0);
    EXPECT_EQ(machine.GetDrive(), 1);
    EXPECT_EQ(machine.GetCwd(), "A:\\disk1");  // the disk's spelling, upper-case drive
    EXPECT_EQ(machine.ChDir("C:\\app\\sub\\"), 0);
    EXPECT_EQ(machine.GetDrive(), 3);
    EXPECT_EQ(machine.GetCwd(), "C:\\App\\SUB");
    EXPECT_EQ(machine.GetDriveCwd(1), "A:\\disk1");
    EXPECT_EQ(machine.ChDir("A:"), 0);  // the remembered folder of A:
    EXPECT_EQ(machine.GetCwd(), "A:\\disk1");
    EXPECT_EQ(machine.ChDir("..\\.."), 0);
    EXPECT_EQ(machine.GetCwd(), "A:\\");
    EXPECT_EQ(machine.ChDir("C:\\missing"), -1);
    EXPECT_EQ(machine.ChDir("C:\\FOO.EXE"), -1);
    EXPECT_EQ(machine.ChDir(""), -1);
    EXPECT_EQ(machine.GetCwd(), "A:\\");
    EXPECT_EQ(machine.ChDrive(3), 0);
    EXPECT_EQ(machine.GetCwd(), "C:\\App\\SUB");
    EXPECT_EQ(machine.ChDrive(17), -1);
    EXPECT_EQ(machine.GetDrive(), 3);
}

TEST_F(MachinePaths, HostPathsMapBackToTheLongestDrive)
{
    fs::path inner = setup_.driveC() / "mnt";
    fs::create_directories(inner / "pkg");
    setup_.MapDrive('d', inner);
    Machine machine = setup_.Load();
    EXPECT_EQ(machine.ToWindows(setup_.driveC() / "App" / "SUB"), "C:\\App\\SUB");
    EXPECT_EQ(machine.ToWindows(setup_.driveC()), "C:\\");
    EXPECT_EQ(machine.ToWindows(inner / "pkg"), "D:\\pkg");
    EXPECT_EQ(machine.ToWindows(setup_.driveC() / "ソフト"), Sjis("C:\\ソフト"));
    EXPECT_FALSE(machine.ToWindows("/proc").has_value());
}

TEST(MachineSelect, OptionThenWineprefixThenBuiltIn)
{
    TestMachine setup;
    std::string error;
    auto chosen = Machine::Select(setup.folder(), &error);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Drives(), std::vector<int>{3});
    EXPECT_FALSE(Machine::Select(setup.folder() / "missing", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);

    Machine builtIn = Machine::BuiltIn();
    EXPECT_EQ(builtIn.Drives(), std::vector<int>{26});
    EXPECT_EQ(builtIn.ToHost("Z:\\etc"), fs::path("/etc"));
    EXPECT_EQ(builtIn.GetDrive(), 26);
}

TEST(MachineStart, CurrentDriveFollowsTheHostWorkingDirectory)
{
    TestMachine setup;
    fs::create_directories(setup.driveC() / "Work");
    fs::path old = fs::current_path();
    fs::current_path(setup.driveC() / "Work");
    Machine machine = setup.Load();
    fs::current_path(old);
    EXPECT_EQ(machine.GetDrive(), 3);
    EXPECT_EQ(machine.GetCwd(), "C:\\Work");
    EXPECT_EQ(machine.ToHost("x.txt"), setup.driveC() / "Work" / "x.txt");
}

}  // namespace
}  // namespace pelmo
