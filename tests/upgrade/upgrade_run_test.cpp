// Tests of the upgrade run: every outcome, disk prompts, the "START" archive,
// plain copies and the optional steps, with a recording archive library.
#include "upgrade/upgrade_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

#include "platform/files.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"
#include "tests/upgrade/status_faults.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::ShownMessage;
using test::Sjis;

// Records every call; fails a command that names `failOn`.
class RecordingArchive : public ArchiveLibrary {
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
        calls.emplace_back(commandLine);
        outputSizes.push_back(outputSize);
        if (!failOn.empty() && commandLine.find(failOn) != std::string_view::npos) {
            output = failText;
            return 1;
        }
        return 0;
    }
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        for (const std::string& call : calls)
            if (call.starts_with("e "))
                commands.push_back(call);
        return commands;
    }

    std::vector<std::string> calls;
    std::vector<std::size_t> outputSizes;
    std::string failOn;
    std::string failText;
};

// A recording prompter in front of a floppy drive: `onDiskPrompt` runs when a disk
// prompt appears, before the user answers, with the prompt's number from 1. A
// prompt that keeps coming back fails the test instead of hanging it.
class FloppyPrompter : public test::RecordingPrompter {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override
    {
        if (buttons != MB_OKCANCEL)
            return RecordingPrompter::MessageBox(text, caption, buttons);
        if (++diskPrompts_ > kMostDiskPrompts) {
            ADD_FAILURE() << "the disk prompt comes back without end";
            return IDCANCEL;
        }
        if (onDiskPrompt)
            onDiskPrompt(diskPrompts_);
        return RecordingPrompter::MessageBox(text, caption, buttons);
    }
    static constexpr int kMostDiskPrompts = 20;
    std::function<void(int)> onDiskPrompt;

private:
    int diskPrompts_ = 0;
};

ShownMessage Box(std::string text, std::string caption, unsigned buttons = MB_OK)
{
    return {std::move(text), std::move(caption), buttons};
}
const ShownMessage kSucceeded = Box("システムは正常に更新されました。", "確認");
const ShownMessage kCancelled = Box("ｱｯﾌﾟﾃﾞｲﾄを取消しました。", "確認");
ShownMessage DiskPrompt(int disk)
{
    return Box(std::to_string(disk) + " 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。", "確認", MB_OKCANCEL);
}

PackageEntry Entry(int disk, int kind, std::string fileName, std::string targetSubfolder)
{
    return {disk, kind, Sjis(fileName), Sjis(targetSubfolder)};
}

// The rows of the tables below arrange the fixture from outside, so it is public.
class UpgradeRunTest : public ::testing::Test {
public:
    void SetUp() override
    {
        WriteSystemFile("korimu1.ini",
                        "[SYSTEM]\r\nVERSION=2\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ\r\n[DIR]\r\nMASTER=C:\\KORIMU\\MASTER\\\r\n"
                        "WAV=C:\\KORIMU\\WAV\\\r\n");
        WriteSystemFile("ko2menu.ini", "[MENU]\r\n");
        WriteSystemFile("formater.exe", "MZ");
        info.installFolder = "C:\\KORIMU";
        info.systemIniName = "korimu1.ini";
        info.requiredVersion = "2";
        info.masterAdjustFlag = "0";
        info.digitizerFlag = "0";
        info.titleKeywords = {Sjis("ﾍﾞｰｼｯｸ"), Sjis("ﾌﾟﾛ"), Sjis("ﾗｲﾄ"), Sjis("ﾜｲﾄﾞ"), Sjis("ﾐﾆ")};
    }

    fs::path system() const { return machine.driveC() / "KORIMU"; }
    fs::path package() const { return machine.driveC() / "PKG"; }

    void WriteSystemFile(const fs::path& relative, std::string_view utf8)
    {
        test::WriteHostFile(system() / relative, Sjis(utf8));
    }
    void WritePackageFile(const fs::path& relative, std::string_view bytes = "data")
    {
        test::WriteHostFile(package() / relative, bytes);
    }
    std::string SystemIni() const { return test::ReadHostFile(system() / "korimu1.ini"); }

    // A floppy drive A: that the package is started from.
    fs::path UseFloppy()
    {
        floppy = machine.AddDrive('a');
        sourceFolder = "A:";
        return floppy;
    }
    // Empties the floppy and puts the given files on it.
    void InsertDisk(std::initializer_list<const char*> names)
    {
        fs::remove_all(floppy);
        fs::create_directories(floppy);
        for (const char* name : names)
            test::WriteHostFile(floppy / name, name);
    }

    int Run()
    {
        loaded = std::make_unique<Machine>(machine.Load());
        return RunUpgrade(*loaded, prompter, archive, info, sourceFolder);
    }

    test::TestMachine machine;
    std::unique_ptr<Machine> loaded;
    FloppyPrompter prompter;
    RecordingArchive archive;
    PackageInfo info;
    std::string sourceFolder = "C:\\PKG\\";
    fs::path floppy;
};

// --- Every outcome of the run --------------------------------------------------

struct OutcomeRow {
    const char* name;
    // Prepares the case; what it returns lives until the run is over.
    std::function<std::shared_ptr<void>(UpgradeRunTest&)> arrange;
    std::vector<ShownMessage> messages;
    int result;
};

void PrintTo(const OutcomeRow& row, std::ostream* out)
{
    *out << row.name;
}

class UpgradeRunOutcomeTest : public UpgradeRunTest, public ::testing::WithParamInterface<OutcomeRow> {};

TEST_P(UpgradeRunOutcomeTest, ShowsItsMessagesAndReturnsItsResult)
{
    std::shared_ptr<void> keep = GetParam().arrange(*this);
    EXPECT_EQ(Run(), GetParam().result);
    EXPECT_EQ(prompter.messages(), GetParam().messages);
    EXPECT_EQ(prompter.busyDepth(), 0);
    EXPECT_FALSE(prompter.busyUnderflow());
}

const OutcomeRow kOutcomes[] = {
    {"a_folder_without_the_settings_file_is_rejected",
     [](UpgradeRunTest& t) {
         fs::remove(t.system() / "korimu1.ini");
         return nullptr;
     },
     {Box("ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。", "ｴﾗｰ")},
     0},
    {"a_system_without_its_formatter_cannot_be_upgraded",
     [](UpgradeRunTest& t) {
         fs::remove(t.system() / "formater.exe");
         return nullptr;
     },
     {Box("このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。", "ｴﾗｰ")},
     0},
    {"another_installed_version_cannot_be_upgraded",
     [](UpgradeRunTest& t) {
         t.info.requiredVersion = "3";
         return nullptr;
     },
     {Box("このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。", "ｴﾗｰ")},
     0},
    {"a_start_archive_for_an_unknown_system_kind_goes_back_to_the_folder",
     [](UpgradeRunTest& t) {
         t.info.titleKeywords[1] = Sjis("ﾎﾞｰﾄﾞ");
         t.info.entries = {Entry(1, 1, "START", "")};
         return nullptr;
     },
     {Box("ｼｽﾃﾑ名称が取得できませんでした。", "更新ｴﾗｰ")},
     0},
    {"a_failed_extraction_shows_the_library_text_and_stops",
     [](UpgradeRunTest& t) {
         t.info.entries = {Entry(1, 1, "DATA", "SUB\\"), Entry(1, 0, "LATER.DAT", "")};
         t.WritePackageFile("LATER.DAT");
         t.archive.failOn = "DATA";
         t.archive.failText = Sjis("C:\\PKG\\DATA.lzhが壊れています。");
         return nullptr;
     },
     {Box("C:\\PKG\\DATA.lzhが壊れています。", "確認")},
     1},
    {"a_failed_copy_names_the_target_and_stops",
     [](UpgradeRunTest& t) {
         t.info.entries = {Entry(1, 0, "MISSING.DAT", "SUB\\")};
         return nullptr;
     },
     {Box("C:\\KORIMU\\SUB\\MISSING.DATの更新に失敗しました。", "確認")},
     1},
    {"an_unreadable_status_names_the_source_and_stops",
     [](UpgradeRunTest& t) -> std::shared_ptr<void> {
         t.info.entries = {Entry(1, 0, "FILE.DAT", "")};
         t.WritePackageFile("FILE.DAT");
         return std::make_shared<test::StatFailure>(t.system() / "FILE.DAT");
     },
     {Box("C:\\PKG\\FILE.DATの属性更新に失敗しました。", "確認")},
     1},
    {"an_unwritable_status_names_the_source_and_stops",
     [](UpgradeRunTest& t) -> std::shared_ptr<void> {
         t.info.entries = {Entry(1, 0, "FILE.DAT", ""), Entry(1, 0, "LATER.DAT", "")};
         t.WritePackageFile("FILE.DAT");
         t.WritePackageFile("LATER.DAT");
         return std::make_shared<test::ChmodFailure>(t.system() / "FILE.DAT");
     },
     {Box("C:\\PKG\\FILE.DATの属性更新に失敗しました。", "確認")},
     1},
    {"failed_conversions_are_reported_and_the_run_goes_on",
     [](UpgradeRunTest& t) {
         t.info.masterAdjustFlag = "1";
         t.WriteSystemFile("MASTER/1/zai001-3.mst", "line\r\n");
         fs::permissions(t.system() / "MASTER/1/zai001-3.mst", fs::perms::owner_write | fs::perms::group_write |
                                                                   fs::perms::others_write,
                         fs::perm_options::remove);
         return nullptr;
     },
     {Box("材料ｻｲｽﾞ変換が正常に更新されませんでした。", "確認"),
      Box("材料ﾀｲﾌﾟ変換が正常に更新されませんでした。", "確認"), kSucceeded},
     1},
    {"a_failed_voice_extraction_is_reported_and_the_run_goes_on",
     [](UpgradeRunTest& t) {
         t.info.digitizerFlag = "1";
         fs::create_directories(t.system() / "WAV");
         t.archive.failOn = "wave";
         t.archive.failText = Sjis("wave.lzhが見つかりません。");
         return nullptr;
     },
     {Box("wave.lzhが見つかりません。", "確認"), kSucceeded},
     1},
    {"a_package_without_entries_succeeds",
     [](UpgradeRunTest&) { return nullptr; },
     {kSucceeded},
     1},
};

INSTANTIATE_TEST_SUITE_P(Rows, UpgradeRunOutcomeTest, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpgradeRunTest, EntriesBeforeAFailureStayInstalledAndNoneAfterIt)
{
    info.entries = {Entry(1, 0, "FIRST.DAT", ""), Entry(1, 0, "MISSING.DAT", ""), Entry(1, 0, "LAST.DAT", "")};
    WritePackageFile("FIRST.DAT");
    WritePackageFile("LAST.DAT");
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(fs::exists(system() / "FIRST.DAT"));
    EXPECT_FALSE(fs::exists(system() / "LAST.DAT"));
}

TEST_F(UpgradeRunTest, AStartEntryOfAnUnknownKindComesAfterTheEarlierEntriesWereInstalled)
{
    info.titleKeywords[1] = Sjis("ﾎﾞｰﾄﾞ");
    info.entries = {Entry(1, 0, "FIRST.DAT", ""), Entry(1, 1, "DATA", ""), Entry(1, 1, "START", ""),
                    Entry(1, 0, "LAST.DAT", "")};
    WritePackageFile("FIRST.DAT");
    WritePackageFile("LAST.DAT");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(info.systemKind, -1);
    EXPECT_TRUE(fs::exists(system() / "FIRST.DAT"));
    EXPECT_EQ(archive.Commands().size(), 1u);
    EXPECT_FALSE(fs::exists(system() / "LAST.DAT"));
    EXPECT_EQ(info.entries[2].fileName, "START");
}

// --- The settings file and the folder -------------------------------------------

TEST_F(UpgradeRunTest, NullLooksForKorimuThenTivonelAndKeepsTheNameFound)
{
    fs::rename(system() / "korimu1.ini", system() / "tivonel1.ini");
    info.systemIniName = "NULL";
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(info.systemIniName, "tivonel1.ini");
    EXPECT_EQ(info.systemKind, 0);  // no MAKER: maker 1
    EXPECT_EQ(prompter.messages(), std::vector<ShownMessage>{kSucceeded});
}

TEST_F(UpgradeRunTest, NullWithNeitherFileRejectsTheFolderAndKeepsTheLastNameTried)
{
    fs::remove(system() / "korimu1.ini");
    info.systemIniName = "NULL";
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(info.systemIniName, "tivonel1.ini");
}

TEST_F(UpgradeRunTest, OnlyTheExactTextNullIsLookedFor)
{
    info.systemIniName = "null";
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(info.systemIniName, "null");
}

TEST_F(UpgradeRunTest, TheFolderFoundWithABackslashIsTheBaseOfEveryTarget)
{
    info.entries = {Entry(1, 1, "DATA", "SUB\\")};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(archive.calls,
              (std::vector<std::string>{"mode6 0", "mode8 1", "e -mcwC:\\windows \"C:\\PKG\\DATA\" \"C:\\KORIMU\\SUB\\\""}));
    // No fixed buffer: the library may give its whole text.
    EXPECT_EQ(archive.outputSizes, std::vector<std::size_t>{std::numeric_limits<std::size_t>::max()});
    EXPECT_TRUE(fs::is_directory(system() / "SUB"));
    EXPECT_EQ(info.installFolder, "C:\\KORIMU");
}

TEST_F(UpgradeRunTest, LongPathsReachTheLibraryWhole)
{
    const std::string deep(300, 'D');
    info.entries = {Entry(1, 1, "DATA", deep + "\\")};
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(archive.Commands().size(), 1u);
    EXPECT_EQ(archive.Commands()[0], "e -mcwC:\\windows \"C:\\PKG\\DATA\" \"C:\\KORIMU\\" + deep + "\\\"");
}

// --- The "START" archive ----------------------------------------------------------

struct SuffixRow {
    int systemKind;
    const char* suffix;
};

void PrintTo(const SuffixRow& row, std::ostream* out)
{
    *out << "kind " << row.systemKind;
}
class StartSuffixTest : public ::testing::TestWithParam<SuffixRow> {};

TEST_P(StartSuffixTest, NamesTheArchiveOfTheKind)
{
    EXPECT_EQ(StartArchiveSuffix(GetParam().systemKind), GetParam().suffix);
}

INSTANTIATE_TEST_SUITE_P(Rows, StartSuffixTest,
                         ::testing::Values(SuffixRow{-1, ""}, SuffixRow{0, "0"}, SuffixRow{1, "1"}, SuffixRow{2, "2"},
                                           SuffixRow{3, "3"}, SuffixRow{4, "4"}, SuffixRow{5, "5"}, SuffixRow{6, ""},
                                           SuffixRow{42, ""}, SuffixRow{98, ""}, SuffixRow{99, "99"},
                                           SuffixRow{100, ""}, SuffixRow{-2, ""}));

struct KindRow {
    const char* name;
    const char* iniName;
    const char* settings;  // the settings file's text
    const char* archive;   // the archive extracted for "START"
    int systemKind;
};

void PrintTo(const KindRow& row, std::ostream* out)
{
    *out << row.name;
}
class StartKindTest : public UpgradeRunTest, public ::testing::WithParamInterface<KindRow> {};

TEST_P(StartKindTest, ExtractsTheArchiveOfTheInstalledKind)
{
    fs::remove(system() / "korimu1.ini");
    WriteSystemFile(GetParam().iniName, GetParam().settings);
    info.systemIniName = GetParam().iniName;
    info.titleKeywords = {Sjis("ﾍﾞｰｼｯｸ"), Sjis("ﾌﾟﾛ"), Sjis("ﾗｲﾄ"), Sjis("ﾜｲﾄﾞ"), Sjis("ﾐﾆ")};
    info.entries = {Entry(1, 1, "START", "")};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(info.systemKind, GetParam().systemKind);
    EXPECT_EQ(info.entries[0].fileName, GetParam().archive);
    EXPECT_EQ(archive.Commands(),
              std::vector<std::string>{std::string("e -mcwC:\\windows \"C:\\PKG\\") + GetParam().archive +
                                       "\" \"C:\\KORIMU\\\""});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartKindTest,
    ::testing::Values(KindRow{"maker_one", "tivonel1.ini", "[SYSTEM]\r\nMAKER=1\r\n", "START0", 0},
                      KindRow{"first_keyword", "korimu1.ini", "[SYSTEM]\r\nTITLE=ｺﾘﾑ ﾍﾞｰｼｯｸ\r\n", "START1", 1},
                      KindRow{"second_keyword", "korimu1.ini", "[SYSTEM]\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ\r\n", "START2", 2},
                      KindRow{"third_keyword", "korimu1.ini", "[SYSTEM]\r\nTITLE=ﾗｲﾄ\r\n", "START3", 3},
                      KindRow{"fourth_keyword", "korimu1.ini", "[SYSTEM]\r\nTITLE=ﾜｲﾄﾞ\r\n", "START4", 4},
                      KindRow{"fifth_keyword", "korimu1.ini", "[SYSTEM]\r\nTITLE=ﾐﾆ\r\n", "START5", 5},
                      KindRow{"another_maker", "tivonel1.ini", "[SYSTEM]\r\nMAKER=2\r\n", "START99", 99}),
    [](const auto& info) { return std::string(info.param.name); });

struct StartNameRow {
    const char* fileName;
    const char* extracted;
};

void PrintTo(const StartNameRow& row, std::ostream* out)
{
    *out << row.fileName;
}
class StartNameTest : public UpgradeRunTest, public ::testing::WithParamInterface<StartNameRow> {};

TEST_P(StartNameTest, TheBaseNameDecidesAndTheSuffixGoesOnTheWholeName)
{
    info.entries = {Entry(1, 1, GetParam().fileName, "")};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(info.entries[0].fileName, GetParam().extracted);
    ASSERT_EQ(archive.Commands().size(), 1u);
    EXPECT_NE(archive.Commands()[0].find(std::string("\"C:\\PKG\\") + GetParam().extracted + "\""), std::string::npos)
        << archive.Commands()[0];
}

INSTANTIATE_TEST_SUITE_P(Rows, StartNameTest,
                         ::testing::Values(StartNameRow{"START", "START2"}, StartNameRow{"KIND\\START", "KIND\\START2"},
                                           StartNameRow{"START.LZH", "START.LZH2"},
                                           StartNameRow{"STARTER", "STARTER"}, StartNameRow{"XSTART", "XSTART"},
                                           // Held upper-cased by the reader; any other case is not "START".
                                           StartNameRow{"Start", "Start"}));

TEST_F(UpgradeRunTest, AStartEntryToCopyIsCopiedUnderItsOwnName)
{
    info.titleKeywords[1] = Sjis("ﾎﾞｰﾄﾞ");  // kind -1 does not matter to a copy
    info.entries = {Entry(1, 0, "START", "")};
    WritePackageFile("START");
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(fs::exists(system() / "START"));
}

// --- Plain copies -------------------------------------------------------------------

TEST_F(UpgradeRunTest, AFolderPartIsForTheSourceOnly)
{
    info.entries = {Entry(1, 0, "DISKDATA\\FILE.TXT", "DOC\\")};
    WritePackageFile("DISKDATA/FILE.TXT", "content");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(test::ReadHostFile(system() / "DOC" / "FILE.TXT"), "content");
    EXPECT_FALSE(fs::exists(system() / "DOC" / "DISKDATA"));
}

TEST_F(UpgradeRunTest, AReadOnlyFileIsInstalledWritable)
{
    info.entries = {Entry(1, 0, "LOCKED.DAT", "")};
    WritePackageFile("LOCKED.DAT", "new");
    fs::permissions(package() / "LOCKED.DAT", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(test::ReadHostFile(system() / "LOCKED.DAT"), "new");
    EXPECT_EQ(Access(*loaded, "C:\\KORIMU\\LOCKED.DAT", 2), 0);
    FileStatus status;
    ASSERT_TRUE(GetStatus(*loaded, "C:\\KORIMU\\LOCKED.DAT", status));
    EXPECT_EQ(status.attribute & kAttributeReadOnly, 0);
}

TEST_F(UpgradeRunTest, AnInstalledFileIsReplacedWhateverItsCase)
{
    info.entries = {Entry(1, 0, "MENU.INI", "")};
    WriteSystemFile("Menu.Ini", "old");
    WritePackageFile("MENU.INI", "new");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(test::ReadHostFile(system() / "Menu.Ini"), "new");
    EXPECT_FALSE(fs::exists(system() / "MENU.INI"));
}

TEST_F(UpgradeRunTest, AMissingTargetFolderIsMadeOneLevelDeep)
{
    info.entries = {Entry(1, 0, "A.DAT", "NEW\\"), Entry(1, 0, "B.DAT", "NEW2\\DEEP\\")};
    WritePackageFile("A.DAT");
    WritePackageFile("B.DAT");
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(fs::exists(system() / "NEW" / "A.DAT"));
    EXPECT_FALSE(fs::exists(system() / "NEW2"));
    EXPECT_EQ(prompter.messages().back(), Box("C:\\KORIMU\\NEW2\\DEEP\\B.DATの更新に失敗しました。", "確認"));
}

struct Master21Row {
    const char* fileName;
    int kind;
    bool written;  // "ﾃﾞｼﾞﾀｲｻﾞMST" written by the digitizer step
};

void PrintTo(const Master21Row& row, std::ostream* out)
{
    *out << row.fileName << ", kind " << row.kind;
}
class Master21Test : public UpgradeRunTest, public ::testing::WithParamInterface<Master21Row> {};

TEST_P(Master21Test, OnlyACopiedFileWhoseBaseNameBeginsWithMaster21Counts)
{
    info.digitizerFlag = "1";
    info.entries = {Entry(1, GetParam().kind, GetParam().fileName, "")};
    std::string hostName = GetParam().fileName;
    std::replace(hostName.begin(), hostName.end(), '\\', '/');
    WritePackageFile(hostName);
    EXPECT_EQ(Run(), 1);
    const bool written = SystemIni().find(Sjis("ﾃﾞｼﾞﾀｲｻﾞMST=1")) != std::string::npos;
    EXPECT_EQ(written, GetParam().written);
    EXPECT_NE(SystemIni().find(Sjis("ﾃﾞｼﾞﾀｲｻﾞ=1")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rows, Master21Test,
                         ::testing::Values(Master21Row{"MASTER21.DAT", 0, true}, Master21Row{"MASTER21", 0, true},
                                           Master21Row{"MASTER21X.MST", 0, true},
                                           Master21Row{"SUB\\MASTER21.DAT", 0, true},
                                           Master21Row{"MASTER2.DAT", 0, false},
                                           Master21Row{"XMASTER21.DAT", 0, false},
                                           Master21Row{"MASTER21.DAT", 1, false}));

// --- Optional steps and the busy cursor ------------------------------------------

TEST_F(UpgradeRunTest, DigitizerThenMastersThenTheFinalMessage)
{
    info.digitizerFlag = " 1";
    info.masterAdjustFlag = "1x";
    fs::create_directories(system() / "WAV");
    archive.failOn = "wave";
    archive.failText = Sjis("wave");
    WriteSystemFile("MASTER/21/zai001-3.mst", "line\r\n");
    fs::permissions(system() / "MASTER/21/zai001-3.mst", fs::perms::owner_read, fs::perm_options::replace);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(prompter.messages(), (std::vector<ShownMessage>{Box("wave", "確認"),
                                                              Box("材料ｻｲｽﾞ変換が正常に更新されませんでした。", "確認"),
                                                              Box("材料ﾀｲﾌﾟ変換が正常に更新されませんでした。", "確認"),
                                                              kSucceeded}));
    // The whole run is busy, the master step a second time.
    EXPECT_EQ(prompter.busyDepthAtMessages(), (std::vector<int>{1, 2, 2, 1}));
    EXPECT_EQ(prompter.busyBegins(), 2);
    EXPECT_EQ(prompter.busyDepth(), 0);
}

struct FlagRow {
    const char* flag;
    bool set;
};

void PrintTo(const FlagRow& row, std::ostream* out)
{
    *out << '"' << row.flag << '"';
}
class OptionalStepFlagTest : public UpgradeRunTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(OptionalStepFlagTest, AStepRunsOnlyWhenItsFlagReadsAsOne)
{
    info.digitizerFlag = GetParam().flag;
    info.masterAdjustFlag = GetParam().flag;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(SystemIni().find(Sjis("ﾃﾞｼﾞﾀｲｻﾞ")) != std::string::npos, GetParam().set);
    EXPECT_EQ(prompter.maxBusyDepth(), GetParam().set ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, OptionalStepFlagTest,
                         ::testing::Values(FlagRow{"1", true}, FlagRow{" 1", true}, FlagRow{"01x", true},
                                           FlagRow{"+1", true}, FlagRow{"0", false}, FlagRow{"2", false},
                                           FlagRow{"", false}, FlagRow{"11", false}, FlagRow{"one", false},
                                           FlagRow{"-1", false}));

TEST_F(UpgradeRunTest, MastersAreReadFromKorimuWhateverTheSettingsFile)
{
    fs::rename(system() / "korimu1.ini", system() / "tivonel1.ini");
    // korimu1.ini holds only the master folder; the checks find tivonel1.ini.
    WriteSystemFile("korimu1.ini", "[DIR]\r\nMASTER=C:\\KORIMU\\M\\\r\n");
    info.systemIniName = "tivonel1.ini";
    info.masterAdjustFlag = "1";
    const std::string head = "400400000107" + std::string(54, 'x');
    WriteSystemFile("M/1/zai001-3.mst", head + "Ytail\r\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(test::ReadHostFile(system() / "M/1/zai001-3.mst"), head + "tail\r\n");
}

// --- Disk prompts -----------------------------------------------------------------

TEST_F(UpgradeRunTest, ADiskIsAskedForOnceAndDisk1EntriesAfterItNeverAsk)
{
    UseFloppy();
    InsertDisk({"A.DAT"});
    info.entries = {Entry(1, 0, "A.DAT", ""), Entry(2, 1, "B", ""), Entry(1, 0, "C.DAT", ""),
                    Entry(2, 0, "D.DAT", "")};
    prompter.onDiskPrompt = [&](int) { InsertDisk({"B.lzh", "C.DAT", "D.DAT"}); };
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(prompter.messages(), (std::vector<ShownMessage>{DiskPrompt(2), kSucceeded}));
    EXPECT_EQ(archive.Commands(), std::vector<std::string>{"e -mcwC:\\windows \"A:B\" \"C:\\KORIMU\\\""});
    for (const char* name : {"A.DAT", "C.DAT", "D.DAT"})
        EXPECT_EQ(test::ReadHostFile(system() / name), name);
}

TEST_F(UpgradeRunTest, ThePromptRepeatsUntilTheDiskHoldsTheFile)
{
    UseFloppy();
    InsertDisk({});
    info.entries = {Entry(3, 1, "B", "")};
    prompter.onDiskPrompt = [&](int prompt) {
        if (prompt == 3)
            InsertDisk({"B.lzh"});
    };
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(prompter.messages(), (std::vector<ShownMessage>{DiskPrompt(3), DiskPrompt(3), DiskPrompt(3), kSucceeded}));
}

TEST_F(UpgradeRunTest, CancellingADiskPromptClosesTheProgramAndKeepsWhatWasInstalled)
{
    UseFloppy();
    InsertDisk({"A.DAT"});
    info.entries = {Entry(1, 0, "A.DAT", ""), Entry(2, 0, "B.DAT", "")};
    prompter.QueueAnswer(IDOK);
    prompter.QueueAnswer(IDCANCEL);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(prompter.messages(), (std::vector<ShownMessage>{DiskPrompt(2), DiskPrompt(2), kCancelled}));
    EXPECT_TRUE(fs::exists(system() / "A.DAT"));
}

struct AcceptRow {
    const char* name;
    PackageEntry entry;
    std::vector<const char*> disk;
    bool accepted;
};

void PrintTo(const AcceptRow& row, std::ostream* out)
{
    *out << row.name;
}
class DiskAcceptanceTest : public UpgradeRunTest, public ::testing::WithParamInterface<AcceptRow> {};

// A disk is accepted when it holds the file the entry will read.
TEST_P(DiskAcceptanceTest, TheDiskMustHoldTheFileTheEntryReads)
{
    UseFloppy();
    InsertDisk({});
    info.entries = {GetParam().entry};
    prompter.onDiskPrompt = [&](int) {
        for (const char* name : GetParam().disk)
            test::WriteHostFile(floppy / name, name);
    };
    prompter.QueueAnswer(IDOK);
    prompter.QueueAnswer(IDCANCEL);
    EXPECT_EQ(Run(), 1);
    const std::vector<ShownMessage> accepted{DiskPrompt(2), kSucceeded};
    const std::vector<ShownMessage> refused{DiskPrompt(2), DiskPrompt(2), kCancelled};
    EXPECT_EQ(prompter.messages(), GetParam().accepted ? accepted : refused);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiskAcceptanceTest,
    ::testing::Values(AcceptRow{"archive", {2, 1, "B", ""}, {"B.lzh"}, true},
                      AcceptRow{"archive_without_lzh", {2, 1, "B", ""}, {"B"}, false},
                      AcceptRow{"plain_file", {2, 0, "B.DAT", ""}, {"B.DAT"}, true},
                      AcceptRow{"plain_file_with_lzh_only", {2, 0, "B.DAT", ""}, {"B.DAT.lzh"}, false},
                      AcceptRow{"start_of_the_kind", {2, 1, "START", ""}, {"START2.lzh"}, true},
                      AcceptRow{"start_of_another_kind", {2, 1, "START", ""}, {"START.lzh", "START1.lzh"},
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpgradeRunTest, NoPromptUnlessStartedFromAFloppyDriveRoot)
{
    for (std::string source : {"C:", "A:\\DISK\\"}) {
        UseFloppy();
        sourceFolder = source;
        fs::path root = source == "C:" ? machine.driveC() : floppy / "DISK";
        test::WriteHostFile(root / "B.DAT", "b");
        info.entries = {Entry(2, 0, "B.DAT", "")};
        EXPECT_EQ(Run(), 1) << source;
        EXPECT_EQ(prompter.messages().back(), kSucceeded) << source;
        EXPECT_EQ(prompter.messages().size(), 1u) << source;
        prompter = FloppyPrompter();
    }
}

// --- EnsureFolder -----------------------------------------------------------------

TEST_F(UpgradeRunTest, EnsureFolderMakesOneMissingFolderAndLeavesAnythingThere)
{
    Machine m = machine.Load();
    WriteSystemFile("FILE", "x");
    EnsureFolder(m, "C:\\KORIMU\\NEW");
    EnsureFolder(m, "C:\\KORIMU\\A\\B");
    EnsureFolder(m, "C:\\KORIMU\\FILE");
    EXPECT_TRUE(fs::is_directory(system() / "NEW"));
    EXPECT_FALSE(fs::exists(system() / "A"));
    EXPECT_TRUE(fs::is_regular_file(system() / "FILE"));
}

}  // namespace
}  // namespace pelmo
