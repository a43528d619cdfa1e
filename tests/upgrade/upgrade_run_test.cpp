// The upgrade run as the wizard repeats it: a folder rejected, then another.
#include "upgrade/upgrade_run.h"

#include <gtest/gtest.h>

#include "tests/support/package_writer.h"
#include "tests/support/recording_archive.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

// After a rejected folder the wizard runs again with the same package; the second
// run must look for the settings file as the package says, not as the first run
// left off.
TEST(UpgradeRun, EveryRunLooksForTheSettingsFileTheWayThePackageSays)
{
    struct Row {
        const char* title;
        std::string packageName;
        std::string requiredVersion;
        std::function<void(const fs::path& driveC)> install;  // C:\FIRST rejected, C:\SECOND right
        std::string firstMessage;
    };
    const Row rows[] = {
        {"NULL: neither file in the first, korimu1.ini in the second", "NULL", "3",
         [](const fs::path& c) {
             fs::create_directories(c / "FIRST");
             InstallSystem(c / "SECOND");
         },
         "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"},
        {"NULL: korimu1.ini of another version first, tivonel1.ini in the second", "NULL", "2",
         [](const fs::path& c) {
             InstallSystem(c / "FIRST", "1");
             WriteHostFile(c / "SECOND" / "tivonel1.ini", "[SYSTEM]\r\nMAKER=1\r\n");
             WriteHostFile(c / "SECOND" / "formater.exe", "MZ");
         },
         "このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        TestMachine machineFolder;
        row.install(machineFolder.driveC());
        const Machine machine = machineFolder.Load();
        RecordingPrompter prompter;
        RecordingArchive archive;
        PackageInfo info;
        info.systemIniName = row.packageName;
        info.requiredVersion = row.requiredVersion;
        info.installFolder = "C:\\FIRST";
        EXPECT_EQ(RunUpgrade(machine, prompter, archive, info, "C:\\"), RunOutcome::FolderRejected);
        info.installFolder = "C:\\SECOND";
        EXPECT_EQ(RunUpgrade(machine, prompter, archive, info, "C:\\"), RunOutcome::Upgraded);
        EXPECT_EQ(prompter.messages(), (std::vector<ShownMessage>{{row.firstMessage, "ｴﾗｰ", MB_OK},
                                                                  {"システムは正常に更新されました。", "確認", MB_OK}}));
    }
}

// What the run reports as it goes: each entry by the file it reads, how far
// the archive library has got within it, the optional steps, then the commit
// file by file; all under the hourglass, and the library hears nothing after.
TEST(UpgradeRun, ReportsItsProgressStepByStepInOrder)
{
    TestMachine machineFolder;
    const fs::path system = machineFolder.driveC() / "SYS";
    InstallSystem(system);
    WriteHostFile(system / "korimu1.ini", "[SYSTEM]\r\nVERSION=3\r\nTITLE=" + Sjis("テスト") +
                                              "\r\n[DIR]\r\nWAV=C:\\SYS\\WAV\\\r\n");
    fs::create_directories(system / "WAV");
    WriteHostFile(machineFolder.driveC() / "PKG" / "readme.txt", "new");
    const Machine machine = machineFolder.Load();
    RecordingPrompter prompter;
    RecordingArchive archive;
    PackageInfo info;
    info.installFolder = "C:\\SYS";
    info.systemIniName = "korimu1.ini";
    info.requiredVersion = "3";
    info.digitizerFlag = "1";
    info.masterAdjustFlag = "1";
    info.titleKeywords = {Sjis("テスト"), "B", "C", "D", "E"};
    info.entries = {{1, 1, "START", ""}, {1, 0, "README.TXT", "DOC\\"}};
    RunUpgrade(machine, prompter, archive, info, "C:\\PKG\\");
    EXPECT_EQ(prompter.progress(), (std::vector<std::string>{
                                       "installing START1.lzh 0/2",
                                       "installing START1.lzh 0/2 50%",
                                       "installing README.TXT 1/2",
                                       "installing README.TXT 2/2",
                                       "voice data 0/1",
                                       "voice data 0/1 50%",
                                       "converting 0/2",
                                       "converting 1/2",
                                       "committing 0/0",  // its log is written
                                       "committing 0/3",  // DOC\README.TXT, korimu1.ini, the run's log
                                       "committing 1/3",
                                       "committing 2/3",
                                       "committing 3/3",
                                   }));
    EXPECT_FALSE(archive.reporting());

    // A run that stops takes back what it staged, file by file; an empty
    // archive has no part read.
    RecordingPrompter stopped;
    archive.failureText = "x";
    archive.reported = {0, 0};
    info.entries = {{1, 0, "README.TXT", "DOC2\\"}, {1, 1, "START", ""}};
    RunUpgrade(machine, stopped, archive, info, "C:\\PKG\\");
    EXPECT_EQ(stopped.progress(), (std::vector<std::string>{"installing README.TXT 0/2", "installing START1.lzh 1/2",
                                                            "installing START1.lzh 1/2", "taking back 1/1"}));
}

}  // namespace
}  // namespace pelmo::test
