// The command line, the unattended front end's own refusals, and the executable as a shell runs it.
#include <stdio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/front_end.h"
#include "app/options.h"
#include "app/unattended.h"
#include "tests/support/package_writer.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

TEST(Options, AreReadOrRefusedWithALineForTheUser)
{
    struct Row {
        std::vector<const char*> argv;
        std::string read;  // what was read, or the line for the user
    };
    auto describe = [](const Options& o) {
        return std::string(o.unattended ? "unattended " : "") + (o.help ? "help " : "") +
               (o.version ? "version " : "") + "target=" + o.target.value_or("-") +
               " package=" + o.package.value_or("-").string() + " machine=" + o.machine.value_or("-").string();
    };
    const Row rows[] = {
        {{}, "target=- package=- machine=-"},
        {{"--unattended", "--target", "C:\\K", "--package", "/fd", "--machine", "/m"},
         "unattended target=C:\\K package=/fd machine=/m"},
        {{"--target=D:\\ｺﾘﾑ", "--unattended", "--machine=/m=x"}, "unattended target=D:\\ｺﾘﾑ package=- machine=/m=x"},
        {{"--unattended", "--package", "--help"}, "unattended target=- package=--help machine=-"},
        {{"--help", "--target", "C:"}, "help target=C: package=- machine=-"},
        {{"--version"}, "version target=- package=- machine=-"},
        {{"--version=1"}, "pelmo: unknown option --version=1"},
        {{"-u"}, "pelmo: unknown option -u"},
        {{"--unattended", "--target"}, "pelmo: --target needs a value"},
        {{"--machine="}, "pelmo: --machine needs a value"},
        {{"--package", "a", "--package=b"}, "pelmo: --package given more than once"},
        {{"--target", "C:\\K"}, "pelmo: --target is only for --unattended; the wizard asks for the folder"},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv{"pelmo"};
        argv.insert(argv.end(), row.argv.begin(), row.argv.end());
        std::string error;
        const auto options = ParseOptions(static_cast<int>(argv.size()), argv.data(), error);
        EXPECT_EQ(options ? describe(*options) : error, row.read) << row.read;
    }
}

TEST(Unattended, WhatCannotBeRunIsABadCommandLineInTheUsersTerms)
{
    TestMachine machine;
    const fs::path package = machine.driveC() / "PKG";
    WritePackage(package, {});
    const fs::path cafe = machine.driveC() / "caf\xC3\xA9" / "PKG";  // the name at fault two levels up
    WritePackage(cafe, {});
    TempDir elsewhere;
    struct Row {
        std::optional<std::string> target;
        std::optional<fs::path> package;  // none: the program's own folder
        fs::path machine;
        std::string error;
        bool undo = false;
    };
    const Row rows[] = {
        {"C:\\\xC3\xA9", package, machine.folder(),
         "the target folder cannot be written in code page 932: C:\\\xC3\xA9"},
        {{}, machine.driveC(), machine.folder(), "no info.txt in " + machine.driveC().string()},
        {{}, elsewhere.path(), machine.folder(), elsewhere.path().string() + " lies on no drive of the machine"},
        {{}, package / "missing", machine.folder(), "no such folder: " + (package / "missing").string()},
        {{}, package / "info.txt", machine.folder(), (package / "info.txt").string() + " is not a folder"},
        {{},
         cafe,
         machine.folder(),
         "the program cannot use the folder name " + cafe.string() +
             ": the character \xC3\xA9 has no code page 932 form"},
        {{}, package, elsewhere.path() / "none", "no such folder: " + (elsewhere.path() / "none").string()},
        {{}, package, elsewhere.path(), elsewhere.path().string() + " is no machine folder: it has no dosdevices/"},
        // The program's own folder, here the test's, is on no drive.
        {{},
         {},
         machine.folder(),
         "without --package the package folder is the program's own, " +
             fs::canonical("/proc/self/exe").parent_path().string() + ", which lies on no drive of the machine"},
        // Undo without a target and without a package lacks the folder, not a package.
        {{},
         {},
         machine.folder(),
         "--undo needs the installed system's folder and no package is at hand: give it as --target, e.g. --target "
         "'C:\\KORIMU'",
         true},
    };
    for (const Row& row : rows) {
        Options options;
        options.unattended = !row.undo;
        options.undo = row.undo;
        options.target = row.target;
        options.package = row.package;
        options.machine = row.machine;
        std::ostringstream out, err;
        EXPECT_EQ(RunUnattended(options, out, err), kExitBadCommandLine) << row.error;
        EXPECT_EQ(err.str(), "pelmo: " + row.error + "\n");
        EXPECT_EQ(out.str(), "");
    }
    // A list with nothing in it says so.
    Options list;
    list.undo = true;
    list.list = true;
    list.target = "C:\\";
    list.machine = machine.folder();
    std::ostringstream out, err;
    EXPECT_EQ(RunUnattended(list, out, err), kExitNothingToUndo);
    EXPECT_EQ(out.str(), "[確認] 元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。\n");
    // A package at a drive's root is read from the drive itself.
    machine.MapDrive('A', package);
    EXPECT_EQ(SourceFolderForPackage(machine.Load(), package), "A:");
}

// pelmo(1)'s table of exit statuses holds for both front ends, for every way a run ends.
TEST(FrontEnd, BothFrontEndsExitAsTheManualPageSays)
{
    const std::string page = ReadHostFile(PELMO_EXAMPLES "/../docs/man/pelmo.1.scd");
    const std::size_t table = page.find("The wizard and *--unattended*");
    ASSERT_NE(table, std::string::npos);
    const std::pair<const char*, RunOutcome> kOutcomes[] = {
        {"upgraded, no failure", RunOutcome::Upgraded},
        {"upgraded after a step", RunOutcome::UpgradedWithFailures},
        {"stopped by", RunOutcome::Stopped},
        {"the folder was rejected", RunOutcome::FolderRejected},
    };
    std::istringstream lines(page.substr(table));
    int found = 0;
    for (std::string line; std::getline(lines, line) && found < 4;) {
        const std::size_t tab = line.find("*\t");
        if (!line.starts_with("*") && !line.starts_with("\t*"))
            continue;
        const int status = std::stoi(line.substr(line.find('*') + 1));
        for (const auto& [words, outcome] : kOutcomes) {
            if (line.compare(tab + 2, std::strlen(words), words) != 0)
                continue;
            ++found;
            EXPECT_EQ(ExitStatusFor(outcome), status) << line;
            EXPECT_EQ(WizardExitStatus(outcome), status) << line;
            if (line.find("before any run") != std::string::npos) {
                EXPECT_EQ(WizardExitStatus(std::nullopt), status) << line;
            }
        }
    }
    EXPECT_EQ(found, 4);
}

TEST(FrontEnd, AnInstalledProgramIsOneInTheBinFolderWithNoPackageBesideIt)
{
    TempDir root;
    const fs::path bin = root.path() / "usr/bin";
    WriteHostFile(bin / "pelmo", "");
    fs::create_directory_symlink("usr/bin", root.path() / "bin");
    WriteHostFile(root.path() / "medium/info.txt", "");
    struct Row {
        fs::path executable;
        fs::path installedBin;
        bool installed;
    };
    const Row rows[] = {
        {bin / "pelmo", bin, true},
        {root.path() / "bin/pelmo", bin, true},  // merged /usr: /bin is /usr/bin
        {bin / "pelmo", root.path() / "bin", true},
        {root.path() / "medium/pelmo", root.path() / "medium", false},
        {root.path() / "build/app/pelmo", bin, false},
        {bin / "pelmo", root.path() / "none", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(IsInstalledProgram(row.executable, row.installedBin), row.installed) << row.executable;
}

// On a terminal a long run rewrites one line in place; a message, and the run's
// end, clear it first. Without a terminal nothing but the messages.
TEST(Unattended, ShowsALongRunsProgressAsOneLineThatMessagesClear)
{
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    std::ostringstream out, progress;
    PrintingPrompter prompter(out, &progress, [&] { return now; });
    auto reportAt = [&](int ms, int done) {
        now += std::chrono::milliseconds(ms);
        prompter.Progress({RunProgress::Step::Installing, "HELP.lzh", done, 4, 0});
    };
    prompter.BeginBusy();
    reportAt(0, 0);  // the pace shows a run's first report never
    reportAt(600, 1);
    prompter.MessageBox(Sjis("確認"), Sjis("確認"), MB_OK);
    reportAt(100, 3);
    prompter.EndBusy();
    EXPECT_EQ(progress.str(), "\rHELP.lzh をｲﾝｽﾄｰﾙしています。  1 / 4 ﾌｧｲﾙ  25%\033[K\r\033[K"
                              "\rHELP.lzh をｲﾝｽﾄｰﾙしています。  3 / 4 ﾌｧｲﾙ  75%\033[K\r\033[K");
    EXPECT_EQ(out.str(), "[確認] 確認\n");

    std::ostringstream plain;
    PrintingPrompter silent(plain);
    silent.BeginBusy();
    for (int i = 0; i < 3; ++i, now += std::chrono::seconds(1))
        silent.Progress({RunProgress::Step::Committing, {}, i, 3, 0});
    silent.EndBusy();
    EXPECT_EQ(plain.str(), "");
}

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

Outcome RunPelmo(const std::string& arguments, const std::string& environment = "")
{
    Outcome outcome;
    FILE* pipe = popen((environment + " '" PELMO_EXECUTABLE "' " + arguments + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (std::size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        outcome.output.append(buffer, got);
    const int wait = pipe ? pclose(pipe) : -1;
    outcome.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return outcome;
}

TEST(Executable, AnswersAsAShellExpects)
{
    EXPECT_EQ(RunPelmo("--help").status, 0);
    EXPECT_TRUE(RunPelmo("--help").output.starts_with("usage: pelmo"));
    const Outcome version = RunPelmo("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "pelmo " PELMO_VERSION "\n");
    // The demo package has nothing to report.
    const Outcome check = RunPelmo("check --package '" PELMO_EXAMPLES "/package'");
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.output, "");
    const Outcome bad = RunPelmo("--unattended --unattended");
    EXPECT_EQ(bad.status, 64);
    EXPECT_TRUE(bad.output.starts_with("pelmo: --unattended given more than once\nusage: pelmo")) << bad.output;
    const Outcome noDisplay = RunPelmo("", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
    EXPECT_EQ(noDisplay.status, 64);
    EXPECT_EQ(noDisplay.output, "pelmo: no display for the wizard; set DISPLAY or run with --unattended\n");

    TestMachine machine;
    InstallSystem(machine.driveC() / "KORIMU");
    WritePackage(machine.driveC() / "PKG", {.entries = {"1,0,A.DAT,DOC\\"}});
    WriteHostFile(machine.driveC() / "PKG/A.DAT", "a");
    const std::string folders =
        "--package '" + (machine.driveC() / "PKG").string() + "' --machine '" + machine.folder().string() + "'";
    const Outcome done = RunPelmo("--unattended " + folders);
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.output, "[確認] システムは正常に更新されました。\n");
    EXPECT_EQ(ReadHostFile(machine.driveC() / "KORIMU/DOC/A.DAT"), "a");
    // The history lists the run, and what undo can still do with it.
    auto listed = [&] {
        const std::string line = RunPelmo(folders + " --undo --list").output;
        return line.substr(std::min(line.size(), line.find("  ", line.find("  ") + 2) + 2));
    };
    EXPECT_EQ(listed(), "1 added, 0 replaced, 0 removed  can be taken back\n");
    WriteHostFile(machine.driveC() / "KORIMU/DOC/A.DAT", "changed");
    EXPECT_EQ(listed(), "1 added, 0 replaced, 0 removed  cannot be taken back: files changed since\n");
    EXPECT_EQ(RunPelmo(folders + " --undo --force").status, 0);
    EXPECT_EQ(listed(), "1 added, 0 replaced, 0 removed  taken back with --force\n");
    // A log that cannot be written is said, and the run counts as one with a failure
    // (under a timeout: a run that never ends would keep ctest waiting for its output).
    const Outcome full = RunPelmo("--unattended --log /dev/full " + folders, "timeout 60");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.output,
              "[確認] システムは正常に更新されました。\npelmo: cannot write the log /dev/full: No space left on "
              "device\n");
    // The wizard waits for its user: it is still open when `timeout` ends it (124).
    EXPECT_EQ(RunPelmo(folders, "QT_QPA_PLATFORM=offscreen timeout 3").status, 124);
    // Without --package the program's own folder is the package.
    machine.MapDrive('z', "/");
    const Outcome own = RunPelmo("--unattended --machine '" + machine.folder().string() + "'");
    EXPECT_EQ(own.status, 64);
    EXPECT_TRUE(own.output.starts_with("pelmo: no info.txt in " +
                                       fs::canonical(PELMO_EXECUTABLE).parent_path().string() + "\nusage: pelmo"))
        << own.output;
}

}  // namespace
}  // namespace pelmo::test
