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
        {"a name given: the same name both times", "Korimu1.INI", "3",
         [](const fs::path& c) {
             WriteHostFile(c / "FIRST" / "tivonel1.ini", "[SYSTEM]\r\n");
             InstallSystem(c / "SECOND");
         },
         "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"},
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

}  // namespace
}  // namespace pelmo::test
