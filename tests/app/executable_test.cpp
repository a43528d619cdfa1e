// Tests of the pelmo executable as a shell runs it: options, output, exit status.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Outcome RunPelmo(const std::string& arguments)
{
    Outcome outcome;
    const std::string command = Quoted(PELMO_EXECUTABLE) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        outcome.output.append(buffer, got);
    int wait = pclose(pipe);
    outcome.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return outcome;
}

TEST(Executable, HelpPrintsTheUsage)
{
    Outcome outcome = RunPelmo("--help");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.output.starts_with("usage: pelmo")) << outcome.output;
}

TEST(Executable, ABadCommandLineExitsWith64AndTheUsage)
{
    for (const char* arguments : {"--bogus", "--unattended --target", "--unattended --unattended"}) {
        Outcome outcome = RunPelmo(arguments);
        EXPECT_EQ(outcome.status, 64) << arguments;
        EXPECT_TRUE(outcome.output.starts_with("pelmo: ")) << outcome.output;
        EXPECT_NE(outcome.output.find("usage: pelmo"), std::string::npos) << outcome.output;
    }
}

class ExecutableRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::path system = machine.driveC() / "KORIMU";
        test::WriteHostFile(system / "korimu1.ini", "[SYSTEM]\r\nVERSION=2\r\n");
        test::WriteHostFile(system / "ko1menu.ini", "");
        test::WriteHostFile(system / "formater.exe", "MZ");
    }
    void WritePackage(const std::string& installFolder)
    {
        test::WriteHostFile(package / "info.txt", test::Sjis("KORIMU\r\nNULL\r\n\r\n\r\n\r\n" + installFolder +
                                                             "\r\n2\r\n0\r\nNULL\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                                                             "ﾍﾞｰｼｯｸ\r\n\r\n\r\n\r\n\r\n1,0,A.DAT,DOC\\\r\n"));
        test::WriteHostFile(package / "A.DAT", "a");
    }
    std::string Arguments() const
    {
        return "--unattended --package " + Quoted(package.string()) + " --machine " + Quoted(machine.folder().string());
    }

    test::TestMachine machine;
    fs::path package = machine.driveC() / "PKG";
};

TEST_F(ExecutableRun, PrintsEachMessageAndExitsWithTheRunsStatus)
{
    WritePackage("C:\\KORIMU");
    Outcome done = RunPelmo(Arguments());
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.output, "[確認] システムは正常に更新されました。\n");
    EXPECT_EQ(test::ReadHostFile(machine.driveC() / "KORIMU/DOC/A.DAT"), "a");

    Outcome rejected = RunPelmo(Arguments() + " --target C:\\\\NOWHERE");
    EXPECT_EQ(rejected.status, 3);
    EXPECT_EQ(rejected.output, "[ｴﾗｰ] ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。\n");
}

TEST_F(ExecutableRun, WithoutAPackageFolderTheProgramsOwnFolderIsRead)
{
    machine.MapDrive('z', "/");
    Outcome outcome = RunPelmo("--unattended --machine " + Quoted(machine.folder().string()));
    EXPECT_EQ(outcome.status, 64);
    const std::string ownFolder = fs::canonical(PELMO_EXECUTABLE).parent_path().string();
    EXPECT_EQ(outcome.output, "pelmo: no info.txt in " + ownFolder + "\n");
}

}  // namespace
}  // namespace pelmo
