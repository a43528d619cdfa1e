// Test support: a small machine with an installed korimu1.ini system and a package folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_info.h"
#include "platform/machine.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {

// The settings file as installed: the master folder and the voice folder of the system.
extern const char* const kInstalledSettings;

class InstalledSystem {
public:
    static constexpr const char* kSystemFolder = "C:\\KORIMU\\";
    static constexpr const char* kPackageFolder = "C:\\PKG\\";

    // The machine only; Install() lays the system out, so that a test can first put
    // another disk under the system's folder.
    InstalledSystem() = default;
    // korimu1.ini, ko2menu.ini and formater.exe in C:\KORIMU.
    void Install() const;

    std::filesystem::path System() const { return machine_.driveC() / "KORIMU"; }
    std::filesystem::path Package() const { return machine_.driveC() / "PKG"; }
    const TestMachine& machineFolder() const { return machine_; }
    // The machine as the program loads it; loaded once.
    const Machine& machine();

    // A package for this system: no optional steps and the given entries.
    static PackageInfo Info(std::vector<PackageEntry> entries);
    // The whole upgrade run with the real archive component, from C:\PKG\.
    int Run(PackageInfo& info, RecordingPrompter& prompter);

private:
    TestMachine machine_;
    std::unique_ptr<Machine> loaded_;
};

// The message boxes a run ends with, as the user reads them.
ShownMessage Confirm(std::string utf8Text);
ShownMessage Succeeded();

}  // namespace pelmo::test
