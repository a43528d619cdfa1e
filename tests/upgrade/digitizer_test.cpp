// The digitizer step: its settings keys, the title, the voice data, and what it reports.
#include "upgrade/digitizer.h"
#include "upgrade/upgrade_run.h"

#include <gtest/gtest.h>

#include "tests/support/package_writer.h"
#include "tests/support/recording_archive.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

// A korimu1.ini in C:\sys holding `ini` (none when empty), and a folder C:\wav.
struct Installed {
    explicit Installed(const std::string& ini)
    {
        fs::create_directories(machineFolder.driveC() / "wav");
        if (!ini.empty())
            WriteHostFile(Ini(), Sjis(ini));
    }
    fs::path Ini() const { return machineFolder.driveC() / "sys" / "korimu1.ini"; }
    // The step without a MASTER21 file copied, committed.
    bool Run()
    {
        const Machine machine = machineFolder.Load();
        TestStage staged(machine);
        const bool done = RunDigitizerStep(staged, prompter, archive, "C:\\sys\\", "korimu1.ini", false);
        EXPECT_TRUE(staged.Commit());
        return done;
    }
    TestMachine machineFolder;
    RecordingPrompter prompter;
    RecordingArchive archive;
};

// Where the keys go and how the title grows are the whole runs' (and the profile
// writer's); these are the titles that already name the option, or are long.
TEST(DigitizerStep, WritesItsKeysAndNamesTheOptionInTheTitleOnce)
{
    struct Row {
        const char* title;
        std::string before;
        std::string after;
    };
    const std::string t99(99, 'T');
    const Row rows[] = {
        {"the option already named", "[SYSTEM]\r\nTITLE = 'ﾍﾟﾙﾓﾝﾄ付き'\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n",
         "[SYSTEM]\r\nTITLE = 'ﾍﾟﾙﾓﾝﾄ付き'\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n"},
        {"named beyond byte 99", "[SYSTEM]\r\nTITLE=" + t99 + "ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n",
         "[SYSTEM]\r\nTITLE=" + t99 + "ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n"},
        {"long titles keep every byte", "[SYSTEM]\r\nTITLE=株式会社" + t99 + "\r\n",
         "[SYSTEM]\r\nTITLE=株式会社" + t99 + " with ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        Installed installed(row.before);
        EXPECT_TRUE(installed.Run());
        EXPECT_EQ(ReadHostFile(installed.Ini()), Sjis(row.after));
        EXPECT_TRUE(installed.prompter.messages().empty());
    }
    // 0x88 0xCD is a kanji whose trail byte is the first byte of "ﾍﾟﾙﾓﾝﾄ".
    Installed trail("");
    WriteHostFile(trail.Ini(), "[SYSTEM]\r\nTITLE=\x88\xCD" + Sjis("ﾟﾙﾓﾝﾄ\r\n"));
    trail.Run();
    EXPECT_EQ(ReadHostFile(trail.Ini()), "[SYSTEM]\r\nTITLE=\x88\xCD" + Sjis("ﾟﾙﾓﾝﾄ with ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n"));
}

TEST(DigitizerStep, ExtractsTheVoiceDataOnlyIntoAnExistingFolder)
{
    const std::pair<std::string, std::string> rows[] = {
        {"[DIR]\r\nwav=c:\\WAV\\", "c:\\WAV\\"},
        {"[DIR]\r\nWAV=C:\\nowhere", ""},
        {"[DIR]\r\nWAV=", ""},
        {"[SYSTEM]\r\nWAV=C:\\wav", ""},
    };
    for (const auto& [dir, target] : rows) {
        SCOPED_TRACE(dir);
        Installed installed("[SYSTEM]\r\nTITLE=ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n" + dir + "\r\n");
        installed.Run();
        std::vector<std::string> calls{"mode6 0", "mode8 1"};
        if (!target.empty())
            calls.push_back(Sjis("e -mcwC:\\windows \"C:\\sys\\音声\\wave\" \"") + target + "\" (100)");
        EXPECT_EQ(installed.archive.calls, calls);
    }
}

// A failure of the voice data alone fails the step; a missing folder is a
// settings file that cannot be written.
TEST(DigitizerStep, VoiceDataOrAMissingFolderFailsTheStep)
{
    Installed voice("[DIR]\r\nWAV=C:\\wav\r\n");
    voice.archive.failureText = "x";
    EXPECT_FALSE(voice.Run());
    Installed none("");
    EXPECT_FALSE(none.Run());
    EXPECT_EQ(none.prompter.messages(),
              (std::vector<ShownMessage>{{"C:\\sys\\korimu1.iniの更新に失敗しました。", "確認", MB_OK}}));
}

// The run and its optional steps keep the hourglass up, nested, through every message.
TEST(UpgradeRun, ShowsEveryMessageUnderTheHourglass)
{
    Installed installed("");
    InstallSystem(installed.machineFolder.driveC() / "sys");
    WriteHostFile(installed.Ini(), "[SYSTEM]\r\nVERSION=3\r\n[DIR]\r\nWAV=C:\\wav\r\nMASTER=C:\\m\\\r\n");
    WriteHostFile(installed.machineFolder.driveC() / "m/1/zai001-3.mst", "x");
    fs::permissions(installed.machineFolder.driveC() / "m/1/zai001-3.mst", fs::perms(0444));
    installed.archive.failureText = "x";
    PackageInfo info;
    info.installFolder = "C:\\sys\\";
    info.systemIniName = "NULL";
    info.requiredVersion = "3";
    info.masterAdjustFlag = "1";
    info.digitizerFlag = "1";
    EXPECT_EQ(RunUpgrade(installed.machineFolder.Load(), installed.prompter, installed.archive, info, "C:\\"),
              RunOutcome::UpgradedWithFailures);
    // The voice data's failure, both conversions', the final message.
    EXPECT_EQ(installed.prompter.busyAtMessages(), (std::vector<int>{1, 2, 2, 1}));
    EXPECT_EQ(installed.prompter.busy(), 0);
}

}  // namespace
}  // namespace pelmo::test
