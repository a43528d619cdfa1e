// The machine: a Windows view (drives, current folders, registry) of a Linux host folder.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace pelmo {

class FileView;

enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// A Windows-form path resolved onto the host.
struct HostPath {
    int drive = 0;                        // 1 = A:
    std::vector<std::string> components;  // below the drive root, UTF-8, as the disk spells them
    std::filesystem::path host;           // the host path
    bool mustBeFolder = false;            // written with a trailing separator
};

// Drives come from a Wine-style machine folder: dosdevices/<letter>: links and
// system.reg. The current drive and every drive's current folder live here, so the
// host process's working directory is never changed.
class Machine {
public:
    // Loads a machine folder. Fails only when the folder does not exist.
    static std::optional<Machine> Load(const std::filesystem::path& folder, std::string* error = nullptr);
    // Only Z: -> / and an empty registry.
    static Machine BuiltIn();
    // `--machine DIR`, else $WINEPREFIX, else ~/.wine when it exists, else the built-in machine.
    static std::optional<Machine> Select(const std::optional<std::filesystem::path>& option,
                                         std::string* error = nullptr);

    const Registry& registry() const { return registry_; }

    // Mapped drive numbers (1 = A:) in letter order.
    std::vector<int> Drives() const;
    bool IsMapped(int drive) const;
    // The host folder that is the root of a mapped drive.
    std::optional<std::filesystem::path> DriveRoot(int drive) const;

    // GetDriveType: only a root ("A:", "A:\") names a drive; any longer path answers
    // NoRootDir, and so does an unmapped letter.
    DriveType GetDriveType(std::string_view path) const;

    // One "[-c-]" entry per mapped drive, lower-case letter, in letter order.
    std::vector<std::string> DriveList() const;

    // _getdrive: the current drive, 1 = A:.
    int GetDrive() const { return currentDrive_; }
    // _chdrive: 0, or -1 for an unmapped drive.
    int ChDrive(int drive);
    // _chdir: 0 or -1. A path that names a drive makes that drive current too, and
    // the new folder is remembered for its drive.
    int ChDir(std::string_view path);
    // _getcwd: upper-case drive letter, folders as the disk spells them, no trailing
    // backslash except at a root.
    std::string GetCwd() const;
    // The current folder of one drive in the same form ("D:\" for a root).
    std::string GetDriveCwd(int drive) const;

    std::string GetWindowsDirectory() const { return "C:\\windows"; }

    // Resolves a Windows-form path (code page 932): drive given or current, from the
    // root or from that drive's current folder. '\' and '/' separate, "." and ".."
    // resolve and ".." stops at the root. Components are matched case-insensitively
    // (ASCII and full-width Latin letters); an exact match wins, else the first
    // match in name order, else the name as written; names are those `view` lists
    // (FileView::Resolve), the disk's when none is given. Nothing for an unmapped
    // drive or a UNC path.
    std::optional<HostPath> Resolve(std::string_view windowsPath, const FileView& view) const;
    std::optional<HostPath> Resolve(std::string_view windowsPath) const;
    std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const;

    // The Windows form of a host path: the drive whose root is the longest prefix of
    // the canonical path. Nothing when no drive holds it or a name cannot be written
    // in code page 932.
    std::optional<std::string> ToWindows(const std::filesystem::path& hostPath) const;

private:
    Machine() = default;
    void StartInHostWorkingDirectory();

    struct Drive {
        std::optional<std::filesystem::path> root;  // mapped when present
        DriveType type = DriveType::NoRootDir;
        std::vector<std::string> currentFolder;  // components below the root
    };
    std::array<Drive, 27> drives_{};  // index 1..26
    int currentDrive_ = 3;
    Registry registry_;
};

}  // namespace pelmo
