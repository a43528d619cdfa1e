// Tests of the digitizer step: settings keys, the title, and the voice data.
#include "upgrade/digitizer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::RecordingPrompter;
using test::ShownMessage;
using test::Sjis;
using test::WriteHostFile;

// An archive library that records what it is asked and answers as told.
class FakeArchive : public ArchiveLibrary {
public:
    int SetMode6(int value) override
    {
        calls.push_back("mode6 " + std::to_string(value));
        return 0;
    }
    int SetMode8(int value) override
    {
        calls.push_back("mode8 " + std::to_string(value));
        return 0;
    }
    int Execute(std::string_view commandLine, std::string& output, std::size_t outputSize) override
    {
        calls.push_back("execute");
        commands.emplace_back(commandLine);
        outputSizes.push_back(outputSize);
        output = failureText;
        return result;
    }

    std::vector<std::string> calls;
    std::vector<std::string> commands;
    std::vector<std::size_t> outputSizes;
    int result = 0;
    std::string failureText;
};

// An installed system in C:\sys\ with a voice folder C:\wav\.
class Installed {
public:
    Installed()
    {
        fs::create_directories(Host("sys"));
        fs::create_directories(Host("wav"));
    }

    fs::path Host(std::string_view relative) const { return machine_.driveC() / relative; }
    void WriteIni(std::string_view bytes, std::string_view name = "korimu1.ini") const
    {
        WriteHostFile(Host("sys") / name, bytes);
    }
    std::string ReadIni(std::string_view name = "korimu1.ini") const { return ReadHostFile(Host("sys") / name); }
    Machine Load() const { return machine_.Load(); }

    void Run(bool masterFileCopied, std::string_view iniName = "korimu1.ini")
    {
        const Machine machine = Load();
        RunDigitizerStep(machine, prompter, archive, "C:\\sys\\", iniName, masterFileCopied);
    }

    RecordingPrompter prompter;
    FakeArchive archive;

private:
    test::TestMachine machine_;
};

// The [DIR] section every settings file of these tests ends with.
const std::string kDirSection = "[DIR]\r\nWAV=C:\\wav\r\n";

std::string VoiceCommand(std::string_view target)
{
    return Sjis("e -mcwC:\\windows \"C:\\sys\\音声\\wave\" \"") + std::string(target) + "\"";
}

struct KeyRow {
    const char* description;
    std::string before;
    bool masterFileCopied;
    std::string after;
};

TEST(DigitizerStep, WritesTheKeysAndExtendsTheTitle)
{
    const std::string digitizer = Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1\r\n");
    const std::string digitizerMst = Sjis("ﾃﾞｼﾞﾀｲｻﾞMST=1\r\n");
    const std::string extended = Sjis("TITLE=ｺﾘﾑ with ﾍﾟﾙﾓﾝﾄ\r\n");
    const std::vector<KeyRow> rows = {
        {"keys added after the last key", "[SYSTEM]\r\nVERSION=2\r\n" + Sjis("TITLE=ｺﾘﾑ\r\n") + kDirSection, false,
         "[SYSTEM]\r\nVERSION=2\r\n" + extended + digitizer + kDirSection},
        {"MST key only when a MASTER21 file was copied",
         "[SYSTEM]\r\nVERSION=2\r\n" + Sjis("TITLE=ｺﾘﾑ\r\n") + kDirSection, true,
         "[SYSTEM]\r\nVERSION=2\r\n" + extended + digitizer + digitizerMst + kDirSection},
        {"an MST value already present stays", "[SYSTEM]\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞMST=0\r\nTITLE=ｺﾘﾑ\r\n") + kDirSection,
         false, "[SYSTEM]\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞMST=0\r\n") + extended + digitizer + kDirSection},
        {"existing keys are replaced in place",
         "[SYSTEM]\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞ=0\r\nﾃﾞｼﾞﾀｲｻﾞMST=\r\nTITLE=ｺﾘﾑ\r\n") + kDirSection, true,
         "[SYSTEM]\r\n" + digitizer + digitizerMst + extended + kDirSection},
        // The write trims the value, as WritePrivateProfileString does.
        {"missing TITLE gets the suffix alone", "[SYSTEM]\r\nVERSION=2\r\n" + kDirSection, false,
         "[SYSTEM]\r\nVERSION=2\r\n" + digitizer + Sjis("TITLE=with ﾍﾟﾙﾓﾝﾄ\r\n") + kDirSection},
        {"missing SYSTEM section is appended", kDirSection, false,
         kDirSection + "[SYSTEM]\r\n" + digitizer + Sjis("TITLE=with ﾍﾟﾙﾓﾝﾄ\r\n")},
        {"title already naming the option at its end", "[SYSTEM]\r\n" + extended + kDirSection, false,
         "[SYSTEM]\r\n" + extended + digitizer + kDirSection},
        {"title naming the option in the middle is not rewritten",
         "[SYSTEM]\r\n" + Sjis("TITLE=\"ﾍﾟﾙﾓﾝﾄ付き ｺﾘﾑ\"  \r\n") + kDirSection, false,
         "[SYSTEM]\r\n" + Sjis("TITLE=\"ﾍﾟﾙﾓﾝﾄ付き ｺﾘﾑ\"  \r\n") + digitizer + kDirSection},
        // 0x88 0xCD is a kanji whose trail byte equals the first byte of "ﾍﾟﾙﾓﾝﾄ".
        {"the option's name at a trail byte does not count",
         "[SYSTEM]\r\nTITLE=\x88\xCD" + Sjis("ﾟﾙﾓﾝﾄ\r\n") + kDirSection, false,
         "[SYSTEM]\r\nTITLE=\x88\xCD" + Sjis("ﾟﾙﾓﾝﾄ with ﾍﾟﾙﾓﾝﾄ\r\n") + digitizer + kDirSection},
    };
    for (const KeyRow& row : rows) {
        SCOPED_TRACE(row.description);
        Installed installed;
        installed.WriteIni(row.before);
        installed.Run(row.masterFileCopied);
        EXPECT_EQ(installed.ReadIni(), row.after);
        EXPECT_TRUE(installed.prompter.messages().empty());
    }
}

TEST(DigitizerStep, KeysHaveTheirCodePage932Lengths)
{
    Installed installed;
    installed.WriteIni("[SYSTEM]\r\n");
    installed.Run(true);
    const std::string ini = installed.ReadIni();
    // Half-width katakana are one byte each: 8 and 11 bytes of key.
    EXPECT_NE(ini.find("\r\n\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE=1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("\r\n\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDEMST=1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("TITLE=with \xCD\xDF\xD9\xD3\xDD\xC4\r\n"), std::string::npos);
}

TEST(DigitizerStep, ASecondRunChangesNothing)
{
    Installed installed;
    installed.WriteIni("[SYSTEM]\r\n" + Sjis("TITLE=ｺﾘﾑ\r\n") + kDirSection);
    installed.Run(true);
    const std::string afterFirst = installed.ReadIni();
    EXPECT_EQ(afterFirst,
              "[SYSTEM]\r\n" + Sjis("TITLE=ｺﾘﾑ with ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\nﾃﾞｼﾞﾀｲｻﾞMST=1\r\n") + kDirSection);

    const fs::path ini = installed.Host("sys") / "korimu1.ini";
    const fs::file_time_type old = fs::last_write_time(ini) - std::chrono::hours(24);
    fs::last_write_time(ini, old);
    installed.Run(true);
    EXPECT_EQ(installed.ReadIni(), afterFirst);
    EXPECT_EQ(fs::last_write_time(ini), old);
    EXPECT_TRUE(installed.prompter.messages().empty());
}

TEST(DigitizerStep, TitleNamingTheOptionIsNeverWritten)
{
    Installed installed;
    const std::string before =
        "[SYSTEM]\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1\r\nTITLE = 'ｺﾘﾑ ﾍﾟﾙﾓﾝﾄ版'\r\n") + kDirSection;
    installed.WriteIni(before);
    const fs::path ini = installed.Host("sys") / "korimu1.ini";
    const fs::file_time_type old = fs::last_write_time(ini) - std::chrono::hours(24);
    fs::last_write_time(ini, old);
    installed.Run(false);
    EXPECT_EQ(installed.ReadIni(), before);
    EXPECT_EQ(fs::last_write_time(ini), old);
}

TEST(DigitizerStep, LongTitlesAreExtendedWithoutLosingBytes)
{
    // Titles beyond 87 bytes did not fit the old 100-byte buffer with the suffix.
    const std::vector<std::string> titles = {
        std::string(88, 'T'),
        std::string(99, 'T'),
        std::string(150, 'T'),
        Sjis("株式会社") + std::string(95, 'x') + Sjis("材料管理システム"),
    };
    for (const std::string& title : titles) {
        SCOPED_TRACE(title.size());
        Installed installed;
        installed.WriteIni("[SYSTEM]\r\nTITLE=" + title + "\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1\r\n"));
        installed.Run(false);
        EXPECT_EQ(installed.ReadIni(),
                  "[SYSTEM]\r\nTITLE=" + title + Sjis(" with ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n"));
    }
}

TEST(DigitizerStep, OptionNameBeyondByte99StillCounts)
{
    Installed installed;
    const std::string before = "[SYSTEM]\r\nTITLE=" + std::string(120, 'T') + Sjis("ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\n");
    installed.WriteIni(before);
    installed.Run(false);
    EXPECT_EQ(installed.ReadIni(), before);
}

TEST(DigitizerStep, WritesTheSettingsFileNamedByTheRun)
{
    Installed installed;
    const std::string korimu = "[SYSTEM]\r\nVERSION=2\r\n";
    installed.WriteIni(korimu);
    installed.WriteIni("[SYSTEM]\r\nMAKER=1\r\n" + kDirSection, "tivonel1.ini");
    installed.Run(true, "tivonel1.ini");
    EXPECT_EQ(installed.ReadIni(), korimu);
    EXPECT_EQ(installed.ReadIni("tivonel1.ini"),
              "[SYSTEM]\r\nMAKER=1\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1\r\nﾃﾞｼﾞﾀｲｻﾞMST=1\r\nTITLE=with ﾍﾟﾙﾓﾝﾄ\r\n") + kDirSection);
    ASSERT_EQ(installed.archive.commands.size(), 1u);
    EXPECT_EQ(installed.archive.commands[0], VoiceCommand("C:\\wav"));
}

TEST(DigitizerStep, ReadOnlySettingsFileIsReportedAndTheStepGoesOn)
{
    Installed installed;
    const std::string before = "[SYSTEM]\r\n" + Sjis("TITLE=ｺﾘﾑ\r\n") + kDirSection;
    installed.WriteIni(before);
    const fs::path ini = installed.Host("sys") / "korimu1.ini";
    fs::permissions(ini, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    installed.Run(true);

    EXPECT_EQ(installed.ReadIni(), before);
    EXPECT_EQ(installed.prompter.messages(),
              (std::vector<ShownMessage>{{"C:\\sys\\korimu1.iniの更新に失敗しました。", "確認", MB_OK}}));
    ASSERT_EQ(installed.archive.commands.size(), 1u);
    EXPECT_EQ(installed.archive.commands[0], VoiceCommand("C:\\wav"));
}

TEST(DigitizerStep, MissingSettingsFolderIsReported)
{
    test::TestMachine bare;
    const Machine machine = bare.Load();
    RecordingPrompter prompter;
    FakeArchive archive;
    RunDigitizerStep(machine, prompter, archive, "C:\\none\\", "korimu1.ini", false);
    EXPECT_EQ(prompter.messages(),
              (std::vector<ShownMessage>{{"C:\\none\\korimu1.iniの更新に失敗しました。", "確認", MB_OK}}));
    EXPECT_TRUE(archive.commands.empty());
}

struct VoiceRow {
    const char* description;
    std::string dirSection;
    std::vector<std::string> calls;
    std::string target;  // the command's target when the library is called
};

TEST(ExtractVoiceData, ExtractsOnlyIntoAnExistingVoiceFolder)
{
    const std::vector<std::string> modesOnly = {"mode6 0", "mode8 1"};
    const std::vector<std::string> extraction = {"mode6 0", "mode8 1", "execute"};
    const std::vector<VoiceRow> rows = {
        {"existing folder", "[DIR]\r\nWAV=C:\\wav\r\n", extraction, "C:\\wav"},
        {"folder with backslash, passed unchanged", "[DIR]\r\nWAV=C:\\wav\\\r\n", extraction, "C:\\wav\\"},
        {"a file passes the existence test", "[DIR]\r\nWAV=C:\\wav\\a.txt\r\n", extraction, "C:\\wav\\a.txt"},
        {"folder in other letter case", "[DIR]\r\nwav=c:\\WAV\r\n", extraction, "c:\\WAV"},
        {"missing folder", "[DIR]\r\nWAV=C:\\nowhere\r\n", modesOnly, ""},
        {"empty WAV", "[DIR]\r\nWAV=\r\n", modesOnly, ""},
        {"no WAV key", "[DIR]\r\nMASTER=C:\\m\r\n", modesOnly, ""},
        {"no DIR section", "[SYSTEM]\r\nWAV=C:\\wav\r\n", modesOnly, ""},
    };
    for (const VoiceRow& row : rows) {
        SCOPED_TRACE(row.description);
        Installed installed;
        WriteHostFile(installed.Host("wav") / "a.txt", "x");
        installed.WriteIni(row.dirSection);
        const Machine machine = installed.Load();
        ExtractVoiceData(machine, installed.prompter, installed.archive, "C:\\sys\\", "korimu1.ini");
        EXPECT_EQ(installed.archive.calls, row.calls);
        if (!row.target.empty()) {
            ASSERT_EQ(installed.archive.commands.size(), 1u);
            EXPECT_EQ(installed.archive.commands[0], VoiceCommand(row.target));
            EXPECT_EQ(installed.archive.outputSizes[0], 100u);
        }
        EXPECT_TRUE(installed.prompter.messages().empty());
    }
}

TEST(ExtractVoiceData, MissingSettingsFileSkipsTheExtraction)
{
    Installed installed;
    const Machine machine = installed.Load();
    ExtractVoiceData(machine, installed.prompter, installed.archive, "C:\\sys\\", "korimu1.ini");
    EXPECT_EQ(installed.archive.calls, (std::vector<std::string>{"mode6 0", "mode8 1"}));
    EXPECT_FALSE(fs::exists(installed.Host("sys") / "korimu1.ini"));
}

TEST(ExtractVoiceData, FailedExtractionShowsTheLibraryText)
{
    Installed installed;
    installed.WriteIni(kDirSection);
    installed.archive.result = 3;
    installed.archive.failureText = Sjis("C:\\sys\\音声\\wave.lzhが見つかりません。");
    const Machine machine = installed.Load();
    ExtractVoiceData(machine, installed.prompter, installed.archive, "C:\\sys\\", "korimu1.ini");
    EXPECT_EQ(installed.prompter.messages(),
              (std::vector<ShownMessage>{{"C:\\sys\\音声\\wave.lzhが見つかりません。", "確認", MB_OK}}));
}

TEST(ExtractVoiceData, LongCommandLinesAreNotCut)
{
    // A deep installed folder and voice folder make the command longer than 99 bytes.
    Installed installed;
    const std::string deep = std::string(60, 'd');
    fs::create_directories(installed.Host("sys") / deep);
    fs::create_directories(installed.Host("wav") / deep);
    WriteHostFile(installed.Host("sys") / deep / "korimu1.ini", "[DIR]\r\nWAV=C:\\wav\\" + deep + "\r\n");
    const Machine machine = installed.Load();
    ExtractVoiceData(machine, installed.prompter, installed.archive, "C:\\sys\\" + deep + "\\", "korimu1.ini");

    ASSERT_EQ(installed.archive.commands.size(), 1u);
    const std::string expected =
        Sjis("e -mcwC:\\windows \"C:\\sys\\" + deep + "\\音声\\wave\" \"C:\\wav\\") + deep + "\"";
    EXPECT_GT(expected.size(), 99u);
    EXPECT_EQ(installed.archive.commands[0], expected);
    EXPECT_EQ(installed.archive.outputSizes[0], 100u);
}

TEST(DigitizerStep, FailedExtractionDoesNotUndoTheSettings)
{
    Installed installed;
    installed.WriteIni("[SYSTEM]\r\n" + kDirSection);
    installed.archive.result = 1;
    installed.archive.failureText = Sjis("壊れています");
    installed.Run(false);
    EXPECT_EQ(installed.ReadIni(),
              "[SYSTEM]\r\n" + Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1\r\nTITLE=with ﾍﾟﾙﾓﾝﾄ\r\n") + kDirSection);
    EXPECT_EQ(installed.prompter.messages(), (std::vector<ShownMessage>{{"壊れています", "確認", MB_OK}}));
}

}  // namespace
}  // namespace pelmo
