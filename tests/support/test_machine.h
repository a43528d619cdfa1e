// Test support: temporary folders and machines built in them.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "platform/stage/staging.h"
#include "platform/staged_view.h"

namespace pelmo::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes bytes to a host file, creating its folders.
void WriteHostFile(const std::filesystem::path& file, std::string_view bytes);
std::string ReadHostFile(const std::filesystem::path& file);

// Converts UTF-8 test text to code page 932 (fails the test when it cannot).
std::string Sjis(std::string_view utf8);

// A machine folder laid out as a Wine prefix: dosdevices/ links and system.reg.
// Drive C: is always there, as drive_c/.
class TestMachine {
public:
    TestMachine();
    // Maps a drive letter to a host folder (created when missing).
    void MapDrive(char letter, const std::filesystem::path& hostFolder);
    // Maps a drive to a new folder "drive_<letter>" in the machine folder and returns it.
    std::filesystem::path AddDrive(char letter);
    void SetRegistry(std::string_view systemReg);
    // The host path of a full Windows path ("D:\\a\\b") on drive C: or a drive
    // made by AddDrive; its letter names the folder "drive_<letter>".
    std::filesystem::path Host(std::string_view windowsPath) const { return root_.path() / InFolder(windowsPath); }
    // The same path from the machine folder: "C:\\a" is "drive_c/a".
    static std::filesystem::path InFolder(std::string_view windowsPath);
    // The host path of drive C:'s root.
    std::filesystem::path driveC() const { return root_.path() / "drive_c"; }
    const std::filesystem::path& folder() const { return root_.path(); }
    // Loads the machine as the program would.
    Machine Load() const;

private:
    TempDir root_;
};

// Writes as a run makes them: staged in view(), put in place by Commit, dropped
// when this goes without one. The run folder lies in a folder of its own, so
// that the machine's folders hold only what the test put there.
class TestStage {
public:
    explicit TestStage(const Machine& machine);
    StagedView& view() { return *view_; }
    operator StagedView&() { return *view_; }
    // Commits what is staged (false when the commit fails) and opens a new stage.
    bool Commit();

private:
    void Open();
    const Machine& machine_;
    TempDir home_;
    std::unique_ptr<Stage> stage_;
    std::optional<StagedView> view_;
};

}  // namespace pelmo::test
