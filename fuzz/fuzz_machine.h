// Fuzz support: invariant checks and one small machine folder per process, without GoogleTest.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/machine.h"

namespace pelmo::fuzz {

// A broken invariant is a finding: libFuzzer reports the abort and keeps the input.
inline void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "pelmo fuzz: invariant broken: %s\n", what);
        std::abort();
    }
}

// A temporary folder holding a machine laid out as a Wine prefix: dosdevices/c:
// leads to drive_c/, which holds windows/. Everything a target writes stays below
// root(), so a target can check that nothing escaped where it was put.
class FuzzMachine {
public:
    // Built on first use and removed when the process ends normally.
    static FuzzMachine& Get()
    {
        static FuzzMachine instance;
        return instance;
    }

    const Machine& machine() const { return *machine_; }
    const std::filesystem::path& root() const { return root_; }
    // A folder outside root() for the run folder of a target's stage.
    const std::filesystem::path& stageHome() const { return stageHome_; }
    std::filesystem::path folder() const { return root_ / "machine"; }
    std::filesystem::path driveC() const { return folder() / "drive_c"; }

    // Writes bytes to a host file, replacing it, creating its folders.
    static void WriteHostFile(const std::filesystem::path& file, std::string_view bytes)
    {
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        Require(!ec && out.good(), "the fuzz machine accepts a written file");
    }

    // Empties a host folder, leaving the folder itself; permission bits a run may
    // have taken away do not stop it.
    static void EmptyHostFolder(const std::filesystem::path& folder)
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(it->path(), ignored);
        }
    }

    FuzzMachine(const FuzzMachine&) = delete;
    FuzzMachine& operator=(const FuzzMachine&) = delete;

    ~FuzzMachine()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ec);
        fs::remove_all(stageHome_, ec);
    }

private:
    FuzzMachine()
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "pelmo-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
        root_ = pattern;
        std::string stagePattern = (fs::temp_directory_path() / "pelmo-fuzz-stage-XXXXXX").string();
        Require(::mkdtemp(stagePattern.data()) != nullptr, "a temporary folder can be made");
        stageHome_ = stagePattern;
        std::error_code ec;
        fs::create_directories(driveC() / "windows", ec);
        fs::create_directories(folder() / "dosdevices", ec);
        fs::create_symlink("../drive_c", folder() / "dosdevices" / "c:", ec);
        Require(!ec, "the fuzz machine folder can be laid out");
        machine_ = Machine::Load(folder());
        Require(machine_.has_value(), "the fuzz machine loads");
    }

    std::filesystem::path root_;
    std::filesystem::path stageHome_;
    std::optional<Machine> machine_;
};

}  // namespace pelmo::fuzz
