// Fuzz target: info.txt as the package description reader takes it from a package folder.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_machine.h"
#include "package/package_info.h"
#include "platform/letter_case.h"
#include "platform/text.h"

namespace {

using pelmo::fuzz::FuzzMachine;
using pelmo::fuzz::Require;

std::size_t CountLines(std::string_view bytes)
{
    std::size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n' ? 1 : 0;
    return lines;
}

// A field read from one line never holds a line end or the Ctrl-Z that ends the text.
bool IsOneLine(std::string_view field)
{
    return field.find_first_of("\n\x1A") == std::string_view::npos;
}

// The program joins entry names to its folders; whatever they hold, a path that
// resolves stays below the drive's root ("..", "." and separators included).
void CheckStaysOnDrive(const pelmo::Machine& machine, const std::string& path)
{
    const std::optional<pelmo::HostPath> resolved = machine.Resolve(path);
    if (!resolved)
        return;
    const std::optional<std::filesystem::path> root = machine.DriveRoot(resolved->drive);
    Require(root.has_value(), "a resolved path is on a mapped drive");
    const std::filesystem::path relative = resolved->host.lexically_relative(*root);
    Require(!relative.empty() && *relative.begin() != "..", "a resolved path stays below its drive's root");
    for (const std::string& component : resolved->components)
        Require(component != ".." && component != "." && !component.empty(), "components are plain names");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FuzzMachine& fuzz = FuzzMachine::Get();
    FuzzMachine::WriteHostFile(fuzz.driveC() / "pkg" / "info.txt", bytes);

    pelmo::PackageInfo info;
    info.entries.push_back({});  // a load replaces what was there
    Require(pelmo::LoadPackageInfo(fuzz.machine(), "C:\\pkg\\", info) == 1, "an existing info.txt loads");

    const std::size_t fixedLines = 21;
    const std::size_t lines = CountLines(bytes);
    Require(info.entries.size() <= (lines > fixedLines ? lines - fixedLines : 0), "at most one entry a line");
    for (const std::string* field : {&info.installFolder, &info.systemIniName, &info.requiredVersion,
                                     &info.masterAdjustFlag, &info.digitizerFlag, &info.mainPicture,
                                     &info.startPicture, &info.destinationPicture, &info.confirmPicture})
        Require(IsOneLine(*field), "a fixed field is one line");
    for (const std::string& key : info.productKeys)
        Require(IsOneLine(key), "a product key is one line");
    for (const std::string& keyword : info.titleKeywords)
        Require(IsOneLine(keyword), "a title keyword is one line");
    for (const pelmo::PackageEntry& entry : info.entries) {
        Require(IsOneLine(entry.fileName) && IsOneLine(entry.targetSubfolder), "an entry is one line");
        Require(entry.fileName.find(',') == std::string::npos, "a file name ends at a comma");
        Require(pelmo::UpperCase(entry.fileName, pelmo::CaseRule::Package) == entry.fileName, "a file name is upper-cased");
        CheckStaysOnDrive(fuzz.machine(), "C:\\pkg\\" + entry.fileName);
        CheckStaysOnDrive(fuzz.machine(), "C:\\dest\\" + entry.targetSubfolder + entry.fileName);
    }
    return 0;
}
