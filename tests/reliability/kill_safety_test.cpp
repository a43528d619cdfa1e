// The master conversion and settings writes killed at random moments: every master
// and settings file is then its old or its new content, and a later run finishes
// the work whatever was left behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "tests/reliability/installed_system.h"
#include "tests/reliability/master_records.h"
#include "tests/reliability/small_disk.h"
#include "upgrade/master_files.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::ReadHostFile;
using test::WriteHostFile;

// Fixed, so that a failure comes back with the same kills.
constexpr std::mt19937::result_type kSeed = 20240607;
constexpr int kTrials = 200;
constexpr int kSettingsWrites = 3;
constexpr const char* kIni = "C:\\KORIMU\\korimu1.ini";

struct MasterFile {
    const char* path;  // below the system folder
    int records;
};
const MasterFile kMasters[] = {
    {"MASTER/1/zai001-3.mst", 15},
    {"MASTER/1/zai002-3.mst", 30},
    {"MASTER/21/zai021-3.mst", 10},
};

// The settings file: the installed keys and a long comment, so that a write of it
// takes a while.
std::string SettingsFile()
{
    std::string text = test::Sjis(test::kInstalledSettings);
    for (int i = 0; text.size() < 8 * 1024; ++i)
        text += "; line " + std::to_string(i) + " of the installed system's own notes\r\n";
    return text;
}

// What the work does: the size conversion, then one key written several times.
void Work(const Machine& machine)
{
    ConvertMaterialSize(machine, kIni);
    for (int step = 1; step <= kSettingsWrites; ++step)
        WritePrivateProfileString(machine, kIni, "SYSTEM", "STEP", std::to_string(step));
}

// Runs the work in a child process and waits for its end.
pid_t StartWork(const Machine& machine)
{
    const pid_t child = ::fork();
    if (child == 0) {
        Work(machine);
        ::_exit(0);
    }
    if (child < 0)
        throw std::runtime_error("fork failed");
    return child;
}

// True when the child was killed, false when it ended by itself.
bool Reap(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
}

bool RunKilledAfter(const Machine& machine, std::chrono::microseconds delay)
{
    const pid_t child = StartWork(machine);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    return Reap(child);
}

class KillSafetyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A kill loses no written page, so a RAM disk serves as well as a real one
        // and spares the run the flushes to the real disk.
        std::string whyNot;
        disk_ = test::SmallDisk::Mount(system_.System(), 16 * 1024 * 1024, 4096, whyNot);
        if (!disk_)
            std::cout << "on the host's disk, slower: " << whyNot << "\n";
        system_.Install();
        // Every state a settings write can leave: after 0, 1, ... writes.
        std::string state = settings_;
        settingsStates_.push_back(state);
        for (int step = 1; step <= kSettingsWrites; ++step) {
            state = *EditProfileString(state, "SYSTEM", "STEP", std::to_string(step));
            settingsStates_.push_back(state);
        }
    }

    void Reset() const
    {
        WriteHostFile(system_.System() / "korimu1.ini", settings_);
        for (const MasterFile& master : kMasters)
            WriteHostFile(system_.System() / master.path, test::OldMaster(master.records));
    }

    // How many master files are converted; fails the test on a file neither old
    // nor converted.
    int ConvertedMasters() const
    {
        int converted = 0;
        for (const MasterFile& master : kMasters) {
            const std::string content = ReadHostFile(system_.System() / master.path);
            if (content == test::SizeConvertedMaster(master.records))
                ++converted;
            else
                EXPECT_EQ(content, test::OldMaster(master.records)) << master.path << " is neither old nor new";
        }
        return converted;
    }

    // Which settings state the file holds; fails the test on a file in none.
    int SettingsState() const
    {
        const std::string content = ReadHostFile(system_.System() / "korimu1.ini");
        const auto found = std::find(settingsStates_.begin(), settingsStates_.end(), content);
        EXPECT_NE(found, settingsStates_.end()) << "the settings file is partial: " << content.size() << " bytes";
        return static_cast<int>(found - settingsStates_.begin());
    }

    // Only the system's files and the work files a kill may leave.
    void ExpectOnlyWorkFilesBesides() const
    {
        for (const auto& entry : fs::recursive_directory_iterator(system_.System())) {
            const std::string name = entry.path().filename().string();
            const bool known = entry.is_directory() || name.ends_with(".ini") || name == "formater.exe" ||
                               name.starts_with("zai") || name == "temp.mst" || name.starts_with(".pelmo-");
            EXPECT_TRUE(known) << entry.path();
        }
    }

    test::InstalledSystem system_;
    std::unique_ptr<test::SmallDisk> disk_;
    const std::string settings_ = SettingsFile();
    std::vector<std::string> settingsStates_;
};

TEST_F(KillSafetyTest, EveryFileIsOldOrNewAndALaterRunFinishes)
{
    const Machine& machine = system_.machine();
    // The delays spread over the time the whole work takes here: the middle of
    // five runs, which the machine's load moves less than one.
    std::vector<std::chrono::microseconds> runs;
    for (int run = 0; run < 5; ++run) {
        Reset();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_FALSE(Reap(StartWork(machine)));
        runs.push_back(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
        ASSERT_EQ(ConvertedMasters(), static_cast<int>(std::size(kMasters)));
        ASSERT_EQ(SettingsState(), kSettingsWrites);
    }
    std::nth_element(runs.begin(), runs.begin() + 2, runs.end());
    const std::chrono::microseconds whole = runs[2];

    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    int killed = 0;
    int caughtHalfway = 0;
    for (int trial = 0; trial < kTrials && !HasFailure(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial) + " of seed " + std::to_string(kSeed));
        Reset();
        const auto delay = std::chrono::microseconds(static_cast<long>(share(random) * whole.count()));
        killed += RunKilledAfter(machine, delay);
        const int converted = ConvertedMasters();
        const int state = SettingsState();
        ExpectOnlyWorkFilesBesides();
        if ((converted > 0 && converted < static_cast<int>(std::size(kMasters))) ||
            (state > 0 && state < kSettingsWrites))
            ++caughtHalfway;
        // Whatever the kill left, the next run finishes the work.
        Work(machine);
        EXPECT_EQ(ConvertedMasters(), static_cast<int>(std::size(kMasters)));
        EXPECT_EQ(SettingsState(), kSettingsWrites);
        EXPECT_FALSE(fs::exists(system_.System() / "MASTER" / "1" / "temp.mst"));
        EXPECT_FALSE(fs::exists(system_.System() / "MASTER" / "21" / "temp.mst"));
    }
    std::cout << "work of " << whole.count() << " us; " << killed << " of " << kTrials << " runs killed, "
              << caughtHalfway << " between two files\n";
    // Otherwise the kills missed the work and proved nothing.
    EXPECT_GE(killed, kTrials / 4);
    EXPECT_GE(caughtHalfway, kTrials / 20);
}

}  // namespace
}  // namespace pelmo
