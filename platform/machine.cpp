// The machine: drive mapping, current folders and path resolution onto the host.
#include "platform/machine.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <system_error>

#include "platform/file_view.h"
#include "platform/letter_case.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

char DriveLetter(int drive)
{
    return static_cast<char>('A' + drive - 1);
}

int DriveNumber(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        return letter - 'a' + 1;
    if (letter >= 'A' && letter <= 'Z')
        return letter - 'A' + 1;
    return 0;
}

DriveType DriveTypeFromRegistry(const Registry& registry, int drive)
{
    if (const auto* values = registry.FindKey("Software\\Wine\\Drives")) {
        std::string name{static_cast<char>('A' + drive - 1), ':'};
        if (auto it = values->find(name); it != values->end()) {
            std::string text;
            for (char16_t unit : it->second.text)
                text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            if (text == "hd")
                return DriveType::Fixed;
            if (text == "floppy")
                return DriveType::Removable;
            if (text == "cdrom")
                return DriveType::CdRom;
            if (text == "network")
                return DriveType::Remote;
            if (text == "ramdisk")
                return DriveType::RamDisk;
        }
    }
    // Wine's default for a drive without a value: A: and B: are floppies.
    return drive <= 2 ? DriveType::Removable : DriveType::Fixed;
}

// Splits the path below the drive into its components, '\' and '/' alike; a
// trail byte 0x5C belongs to its character and never separates.
std::vector<std::string_view> SplitComponents(std::string_view path, bool& trailingSeparator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    trailingSeparator = false;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t length = CharLength(path, i);
        if (length == 1 && (path[i] == '\\' || path[i] == '/')) {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
            trailingSeparator = true;
        } else {
            trailingSeparator = false;
        }
        i += length;
    }
    parts.push_back(path.substr(start));
    return parts;
}

// The name of `wanted` in `folder` as `view` spells it: an exact match wins,
// else the first case-insensitive match in name order, else `wanted` itself.
std::string FindInView(const FileView& view, const fs::path& folder, const std::string& wanted)
{
    if (view.Status(folder / wanted))
        return wanted;
    // Every name that is not there as written (each new file) reads the whole folder.
    const std::string folded = UpperCase(wanted, CaseRule::FileName);
    std::string best;
    view.List(folder, [&](std::string_view name, bool) {
        // Folding keeps byte lengths, so most names are ruled out without it.
        if (name.size() == folded.size() && UpperCase(name, CaseRule::FileName) == folded &&
            (best.empty() || name < best))
            best = name;
    });
    return best.empty() ? wanted : best;
}

}  // namespace

std::optional<Machine> Machine::Load(const fs::path& folder, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (error)
            *error = "machine folder not found: " + folder.string();
        return std::nullopt;
    }
    Machine machine;
    machine.registry_ = Registry::Load(folder / "system.reg");
    fs::path devices = folder / "dosdevices";
    for (int drive = 1; drive <= 26; ++drive) {
        std::string linkName{static_cast<char>('a' + drive - 1), ':'};
        fs::path link = devices / linkName;
        fs::file_status status = fs::symlink_status(link, ec);
        if (ec || !fs::exists(status))
            continue;
        fs::path target = link;
        if (fs::is_symlink(status)) {
            target = fs::read_symlink(link, ec);
            if (ec)
                continue;
            if (target.is_relative())
                target = devices / target;
        }
        // A link to a floppy mount that holds no disk still names a drive.
        fs::path root = fs::weakly_canonical(target, ec);
        if (ec)
            root = target.lexically_normal();
        machine.drives_[drive].root = root;
        machine.drives_[drive].type = DriveTypeFromRegistry(machine.registry_, drive);
    }
    machine.StartInHostWorkingDirectory();
    return machine;
}

Machine Machine::BuiltIn()
{
    Machine machine;
    machine.drives_[26].root = fs::path("/");
    machine.drives_[26].type = DriveType::Fixed;
    machine.StartInHostWorkingDirectory();
    return machine;
}

std::optional<Machine> Machine::Select(const std::optional<fs::path>& option, std::string* error)
{
    if (option)
        return Load(*option, error);
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return Load(prefix, error);
    if (const char* home = std::getenv("HOME"); home && *home) {
        std::error_code ec;
        fs::path wine = fs::path(home) / ".wine";
        if (fs::is_directory(wine, ec))
            return Load(wine, error);
    }
    return BuiltIn();
}

void Machine::StartInHostWorkingDirectory()
{
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (!ec) {
        if (auto windows = ToWindows(cwd)) {
            if (auto resolved = Resolve(*windows)) {
                currentDrive_ = resolved->drive;
                drives_[currentDrive_].currentFolder = resolved->components;
                return;
            }
        }
    }
    if (IsMapped(3)) {
        currentDrive_ = 3;
        return;
    }
    std::vector<int> mapped = Drives();
    if (!mapped.empty())
        currentDrive_ = mapped.front();
}

std::vector<int> Machine::Drives() const
{
    std::vector<int> result;
    for (int drive = 1; drive <= 26; ++drive)
        if (drives_[drive].root)
            result.push_back(drive);
    return result;
}

bool Machine::IsMapped(int drive) const
{
    return drive >= 1 && drive <= 26 && drives_[drive].root.has_value();
}

std::optional<fs::path> Machine::DriveRoot(int drive) const
{
    if (!IsMapped(drive))
        return std::nullopt;
    return drives_[drive].root;
}

DriveType Machine::GetDriveType(std::string_view path) const
{
    int drive = 0;
    if (path == "\\" || path == "/") {
        drive = currentDrive_;
    } else if ((path.size() == 2 || (path.size() == 3 && (path[2] == '\\' || path[2] == '/'))) && path[1] == ':') {
        drive = DriveNumber(path[0]);
    }
    if (!IsMapped(drive))
        return DriveType::NoRootDir;
    return drives_[drive].type;
}

std::vector<std::string> Machine::DriveList() const
{
    std::vector<std::string> list;
    for (int drive : Drives())
        list.push_back(std::string("[-") + static_cast<char>('a' + drive - 1) + "-]");
    return list;
}

int Machine::ChDrive(int drive)
{
    if (!IsMapped(drive))
        return -1;
    currentDrive_ = drive;
    return 0;
}

int Machine::ChDir(std::string_view path)
{
    auto resolved = Resolve(path);
    std::error_code ec;
    if (!resolved || path.empty() || !fs::is_directory(resolved->host, ec))
        return -1;
    // The runtime remembers a folder per drive, so "D:" later means this folder.
    currentDrive_ = resolved->drive;
    drives_[resolved->drive].currentFolder = resolved->components;
    return 0;
}

std::string Machine::GetCwd() const
{
    return GetDriveCwd(currentDrive_);
}

std::string Machine::GetDriveCwd(int drive) const
{
    std::string result{DriveLetter(drive), ':'};
    if (drive < 1 || drive > 26 || drives_[drive].currentFolder.empty())
        return result + "\\";
    for (const std::string& component : drives_[drive].currentFolder)
        result += "\\" + Utf8ToCp932Lossy(component);
    return result;
}

std::optional<HostPath> Machine::Resolve(std::string_view windowsPath) const
{
    return Resolve(windowsPath, DiskView(*this));
}

std::optional<HostPath> Machine::Resolve(std::string_view windowsPath, const FileView& view) const
{
    if (windowsPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    HostPath result;
    std::string_view rest = windowsPath;
    if (rest.size() >= 2 && rest[1] == ':') {
        result.drive = DriveNumber(rest[0]);
        rest.remove_prefix(2);
    } else {
        if (rest.size() >= 2 && (rest[0] == '\\' || rest[0] == '/') && (rest[1] == '\\' || rest[1] == '/'))
            return std::nullopt;  // UNC paths name no drive of this machine
        result.drive = currentDrive_;
    }
    if (!IsMapped(result.drive))
        return std::nullopt;
    const fs::path& root = *drives_[result.drive].root;

    bool absolute = !rest.empty() && (rest[0] == '\\' || rest[0] == '/');
    if (!absolute)
        result.components = drives_[result.drive].currentFolder;
    bool trailingSeparator = false;
    for (std::string_view part : SplitComponents(rest, trailingSeparator)) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            // ".." stops at the drive root, as on Windows.
            if (!result.components.empty())
                result.components.pop_back();
            continue;
        }
        std::string name = Cp932ToUtf8(part).value_or(Cp932ToUtf8Lossy(part));
        fs::path folder = root;
        for (const std::string& component : result.components)
            folder /= component;
        result.components.push_back(FindInView(view, folder, name));
    }
    result.host = root;
    for (const std::string& component : result.components)
        result.host /= component;
    result.mustBeFolder = trailingSeparator && !result.components.empty();
    return result;
}

std::optional<fs::path> Machine::ToHost(std::string_view windowsPath) const
{
    auto resolved = Resolve(windowsPath);
    if (!resolved)
        return std::nullopt;
    return resolved->host;
}

std::optional<std::string> Machine::ToWindows(const fs::path& hostPath) const
{
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(hostPath, ec), ec);
    if (ec)
        return std::nullopt;
    int bestDrive = 0;
    std::size_t bestLength = 0;
    fs::path bestRelative;
    for (int drive : Drives()) {
        const fs::path& root = *drives_[drive].root;
        auto [rootEnd, pathEnd] = std::mismatch(root.begin(), root.end(), canonical.begin(), canonical.end());
        if (rootEnd != root.end() && !(std::next(rootEnd) == root.end() && rootEnd->empty()))
            continue;
        std::size_t length = root.native().size();
        if (bestDrive == 0 || length > bestLength) {
            bestDrive = drive;
            bestLength = length;
            bestRelative.clear();
            for (auto it = pathEnd; it != canonical.end(); ++it)
                if (!it->empty())
                    bestRelative /= *it;
        }
    }
    if (bestDrive == 0)
        return std::nullopt;
    std::string result{DriveLetter(bestDrive), ':', '\\'};
    bool first = true;
    for (const fs::path& component : bestRelative) {
        auto name = Utf8ToCp932(component.string());
        if (!name)
            return std::nullopt;
        if (!first)
            result += '\\';
        result += *name;
        first = false;
    }
    return result;
}

}  // namespace pelmo
