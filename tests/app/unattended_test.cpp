// Tests of the unattended front end: printed boxes, answers, exit statuses.
#include "app/unattended.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Sjis;
using test::WriteHostFile;
using Shown = PrintingPrompter::Shown;

// --- The printing prompter ---------------------------------------------------------

TEST(PrintingPrompter, PrintsEachBoxAsOneUtf8Line)
{
    std::ostringstream out;
    PrintingPrompter prompter(out);
    EXPECT_EQ(prompter.MessageBox(Sjis("システムは正常に更新されました。"), Sjis("確認"), MB_OK), IDOK);
    EXPECT_EQ(prompter.MessageBox(Sjis("ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"), Sjis("ｴﾗｰ"), MB_OK), IDOK);
    EXPECT_EQ(out.str(), "[確認] システムは正常に更新されました。\n[ｴﾗｰ] ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。\n");
}

TEST(PrintingPrompter, AnswersADiskPromptOnceAndCancelsWhenItComesStraightBack)
{
    std::ostringstream out;
    PrintingPrompter prompter(out);
    const std::string disk2 = Sjis("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。");
    const std::string disk3 = Sjis("3 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。");
    const std::string caption = Sjis("確認");
    EXPECT_EQ(prompter.MessageBox(disk2, caption, MB_OKCANCEL), IDOK);
    EXPECT_EQ(prompter.MessageBox(disk3, caption, MB_OKCANCEL), IDOK);
    EXPECT_EQ(prompter.MessageBox(disk3, caption, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(prompter.MessageBox(Sjis("ｱｯﾌﾟﾃﾞｲﾄを取消しました。"), caption, MB_OK), IDOK);
    // Asked again after another box: a new question.
    EXPECT_EQ(prompter.MessageBox(disk3, caption, MB_OKCANCEL), IDOK);
    EXPECT_EQ(prompter.MessageBox(disk3, caption, MB_OK), IDOK);
    EXPECT_EQ(prompter.shown().size(), 6u);
}

TEST(PrintingPrompter, ShowsWhatCodePage932CannotHoldAsQuestionMarks)
{
    std::ostringstream out;
    PrintingPrompter prompter(out);
    prompter.MessageBox("A\x81", "B", MB_OK);
    EXPECT_EQ(out.str(), "[B] A?\n");
}

// --- Exit statuses -------------------------------------------------------------------

const Shown kSucceeded{Sjis("システムは正常に更新されました。"), Sjis("確認"), MB_OK};
const Shown kPrompt{Sjis("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"), Sjis("確認"), MB_OKCANCEL};
const Shown kCancelled{Sjis("ｱｯﾌﾟﾃﾞｲﾄを取消しました。"), Sjis("確認"), MB_OK};
const Shown kSizeFailed{Sjis("材料ｻｲｽﾞ変換が正常に更新されませんでした。"), Sjis("確認"), MB_OK};
const Shown kCopyFailed{Sjis("C:\\A.DATの更新に失敗しました。"), Sjis("確認"), MB_OK};
const Shown kRejected{Sjis("ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"), Sjis("ｴﾗｰ"), MB_OK};

struct StatusRow {
    const char* name;
    int runResult;
    std::vector<Shown> shown;
    int status;
};

void PrintTo(const StatusRow& row, std::ostream* out)
{
    *out << row.name;
}

class ExitStatusTest : public ::testing::TestWithParam<StatusRow> {};

TEST_P(ExitStatusTest, FollowsTheRunAndItsMessages)
{
    EXPECT_EQ(ExitStatusFor(GetParam().runResult, GetParam().shown), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExitStatusTest,
    ::testing::Values(StatusRow{"success", 1, {kSucceeded}, 0},
                      StatusRow{"success_after_a_disk_prompt", 1, {kPrompt, kSucceeded}, 0},
                      StatusRow{"success_after_a_failed_step", 1, {kPrompt, kSizeFailed, kSucceeded}, 1},
                      StatusRow{"installation_failure", 1, {kCopyFailed}, 2},
                      StatusRow{"cancelled_disk_prompt", 1, {kPrompt, kPrompt, kCancelled}, 2},
                      StatusRow{"no_message_at_all", 1, {}, 2},
                      StatusRow{"folder_rejected", 0, {kRejected}, 3},
                      StatusRow{"unknown_kind", 0, {kPrompt, kCopyFailed}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Machines, packages and the destination --------------------------------------------

constexpr const char* kUninstallReg =
    "WINE REGISTRY Version 2\n\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\KORIMU] 1700000000\n"
    "\"UninstallString\"=\"C:\\\\KORIMU\\\\UNINST.EXE -fC:\\\\KORIMU\\\\UNINST.LOG\"\n";

class UnattendedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteHostFile(System() / "korimu1.ini", Sjis("[SYSTEM]\r\nVERSION=2\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ\r\n"));
        WriteHostFile(System() / "ko2menu.ini", "");
        WriteHostFile(System() / "formater.exe", "MZ");
        options.unattended = true;
        options.machine = machine.folder();
        options.package = Package();
    }

    fs::path System() const { return machine.driveC() / "KORIMU"; }
    fs::path Package() const { return machine.driveC() / "PKG"; }

    // info.txt: the product key, the proposed folder and the entries (UTF-8).
    void WriteInfo(const fs::path& folder, std::string_view installFolder, std::string_view entries,
                   std::string_view digitizer = "0")
    {
        std::string text = "KORIMU\r\nNULL\r\n\r\n\r\n\r\n" + std::string(installFolder) + "\r\n2\r\n0\r\nNULL\r\n" +
                           std::string(digitizer) + "\r\n\r\n\r\n\r\n\r\n\r\n\r\nﾍﾞｰｼｯｸ\r\nﾌﾟﾛ\r\n\r\n\r\n\r\n" +
                           std::string(entries);
        WriteHostFile(folder / "info.txt", Sjis(text));
    }

    int Run()
    {
        return RunUnattended(options, out, err);
    }

    test::TestMachine machine;
    Options options;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(UnattendedTest, SucceedsWithoutAFailureMessage)
{
    WriteInfo(Package(), "C:\\KORIMU", "1,0,A.DAT,\r\n");
    WriteHostFile(Package() / "A.DAT", "a");
    EXPECT_EQ(Run(), kExitSucceeded);
    EXPECT_EQ(out.str(), "[確認] システムは正常に更新されました。\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(test::ReadHostFile(System() / "A.DAT"), "a");
}

TEST_F(UnattendedTest, AFailedOptionalStepStillSucceedsWithStatusOne)
{
    WriteInfo(Package(), "C:\\KORIMU", "", "1");
    WriteHostFile(System() / "korimu1.ini", Sjis("[SYSTEM]\r\nVERSION=2\r\n[DIR]\r\nWAV=C:\\KORIMU\\\r\n"));
    EXPECT_EQ(Run(), kExitSucceededWithFailures);
    EXPECT_NE(out.str().find("wave"), std::string::npos) << out.str();
    EXPECT_TRUE(out.str().ends_with("[確認] システムは正常に更新されました。\n")) << out.str();
}

TEST_F(UnattendedTest, AnInstallationFailureStopsWithStatusTwo)
{
    WriteInfo(Package(), "C:\\KORIMU", "1,0,MISSING.DAT,SUB\\\r\n");
    EXPECT_EQ(Run(), kExitStopped);
    EXPECT_EQ(out.str(), "[確認] C:\\KORIMU\\SUB\\MISSING.DATの更新に失敗しました。\n");
}

TEST_F(UnattendedTest, ADiskThatStillLacksTheFileIsCancelledWithStatusTwo)
{
    fs::path floppy = machine.AddDrive('a');
    WriteInfo(floppy, "C:\\KORIMU", "1,0,A.DAT,\r\n2,0,B.DAT,\r\n");
    WriteHostFile(floppy / "A.DAT", "a");
    options.package = floppy;
    EXPECT_EQ(Run(), kExitStopped);
    EXPECT_EQ(out.str(),
              "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。\n"
              "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。\n"
              "[確認] ｱｯﾌﾟﾃﾞｲﾄを取消しました。\n");
    EXPECT_EQ(test::ReadHostFile(System() / "A.DAT"), "a");
}

TEST_F(UnattendedTest, ADiskThatHoldsTheFileIsAcceptedAtOnce)
{
    fs::path floppy = machine.AddDrive('a');
    WriteInfo(floppy, "C:\\KORIMU", "2,0,B.DAT,\r\n");
    WriteHostFile(floppy / "B.DAT", "b");
    options.package = floppy;
    EXPECT_EQ(Run(), kExitSucceeded);
    EXPECT_EQ(out.str(),
              "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。\n"
              "[確認] システムは正常に更新されました。\n");
}

TEST_F(UnattendedTest, ARejectedFolderGivesStatusThree)
{
    WriteInfo(Package(), "C:\\NOWHERE", "");
    EXPECT_EQ(Run(), kExitFolderRejected);
    EXPECT_EQ(out.str(), "[ｴﾗｰ] ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。\n");
}

TEST_F(UnattendedTest, TheUninstallEntryWinsOverTheProposedFolder)
{
    machine.SetRegistry(kUninstallReg);
    WriteInfo(Package(), "C:\\NOWHERE", "");
    EXPECT_EQ(Run(), kExitSucceeded);
}

TEST_F(UnattendedTest, TheTargetWinsOverTheUninstallEntry)
{
    machine.SetRegistry(kUninstallReg);
    WriteInfo(Package(), "C:\\KORIMU", "");
    options.target = "C:\\ELSEWHERE";
    EXPECT_EQ(Run(), kExitFolderRejected);
    options.target = "c:\\korimu\\";
    EXPECT_EQ(Run(), kExitSucceeded);
}

TEST_F(UnattendedTest, AJapaneseTargetIsTakenInCodePage932)
{
    fs::rename(System(), machine.driveC() / "ｺﾘﾑ");
    WriteInfo(Package(), "C:\\NOWHERE", "");
    options.target = "C:\\ｺﾘﾑ";
    EXPECT_EQ(Run(), kExitSucceeded);
}

TEST_F(UnattendedTest, WhatCannotBeRunIsABadCommandLine)
{
    const fs::path outside = machine.folder() / "outside";
    fs::create_directories(outside);
    const std::vector<std::pair<std::function<void()>, std::string>> rows{
        {[&] { options.machine = machine.folder() / "no-machine"; }, "pelmo: cannot use the machine: "},
        {[&] { options.package = outside; }, "pelmo: " + outside.string() + " lies on no drive of the machine"},
        {[&] { options.package = Package() / "missing"; }, "pelmo: "},
        {[&] { options.package = machine.driveC(); }, "pelmo: no info.txt in " + machine.driveC().string()},
        {[&] { options.target = "C:\\\xff"; }, "pelmo: the target folder cannot be written in code page 932: "},
    };
    WriteInfo(Package(), "C:\\KORIMU", "");
    for (const auto& [arrange, error] : rows) {
        options = Options();
        SetUp();
        err.str("");
        out.str("");
        arrange();
        EXPECT_EQ(Run(), kExitBadCommandLine) << error;
        EXPECT_TRUE(err.str().starts_with(error)) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

struct SourceRow {
    const char* name;
    const char* hostFolder;  // below the machine folder
    std::optional<std::string> sourceFolder;
};

void PrintTo(const SourceRow& row, std::ostream* out)
{
    *out << row.name;
}

class SourceFolderTest : public ::testing::TestWithParam<SourceRow> {};

TEST_P(SourceFolderTest, IsTheWindowsFormOfThePackageFolder)
{
    test::TestMachine machine;
    machine.MapDrive('a', machine.folder() / "floppy");
    fs::create_directories(machine.folder() / "outside");
    fs::create_directories(machine.driveC() / "PKG" / "ｺﾘﾑ");
    const Machine loaded = machine.Load();
    std::optional<std::string> expected;
    if (GetParam().sourceFolder)
        expected = Sjis(*GetParam().sourceFolder);
    EXPECT_EQ(SourceFolderForPackage(loaded, machine.folder() / GetParam().hostFolder), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SourceFolderTest,
                         ::testing::Values(SourceRow{"folder", "drive_c/PKG", "C:\\PKG\\"},
                                           SourceRow{"with_a_slash", "drive_c/PKG/", "C:\\PKG\\"},
                                           SourceRow{"japanese", "drive_c/PKG/ｺﾘﾑ", "C:\\PKG\\ｺﾘﾑ\\"},
                                           SourceRow{"drive_root", "drive_c", "C:"},
                                           SourceRow{"floppy_root", "floppy", "A:"},
                                           SourceRow{"outside_every_drive", "outside", std::nullopt},
                                           SourceRow{"missing", "drive_c/NONE", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmo
