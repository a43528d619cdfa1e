// The material master files: size and type conversions, line by line.
#include "upgrade/master_files.h"

#include <cstddef>
#include <cstdint>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/streams.h"
#include "res/strings.h"

namespace pelmo {
namespace {

// The settings value is read into a 64-byte buffer, as the program always did.
constexpr std::size_t kMasterValueSize = 64;
constexpr std::size_t kMaxMasterFiles = 1000;

// Write access as the program asks for it: `_access` mode 2.
constexpr int kWriteAccess = 2;

using LineRule = std::string (*)(std::string_view line);

// Rewrites one master file through the work file. The master file keeps its old
// bytes unless the whole new content was written, flushed and renamed over it.
bool ConvertFile(StagedView& files, FolderWriter& folder, const std::string& prefix, const std::string& name,
                 LineRule rule)
{
    const std::string path = prefix + name;
    // A read-only master file (no write bits, even for root) is one that cannot be
    // opened for writing, so it stops the folder.
    if (Access(files, path, kWriteAccess) != 0)
        return false;
    auto input = InputFile::Open(files, path);
    if (!input)
        return false;
    auto output = folder.Replace(name);
    if (!output)
        return false;
    TextReader reader(std::move(*input));
    std::string line;
    std::uint64_t changed = 0;
    while (reader.ReadLine(line)) {
        const std::string converted = rule(line);
        changed += converted != line ? 1 : 0;
        if (!output->Write(converted) || !output->Write("\r\n"))
            return false;  // the work file is removed as `output` goes
    }
    if (reader.failed() || !output->Finish())
        return false;
    // The plan names the records each conversion changed.
    files.NoteConverted(*files.ToHost(path), changed);
    return true;
}

int ConvertFolder(StagedView& files, std::string_view folder, LineRule rule)
{
    const std::string prefix(folder);
    std::vector<std::string> names;
    ListMatchingFiles(files, names, prefix + GetText(Text::MasterPattern));
    if (names.empty())
        return 1;
    // The folder's names are read once: finding the missing work file afresh
    // for every master file read the whole folder each time.
    auto writer = FolderWriter::Open(files, prefix);
    if (!writer)
        return 0;
    for (const std::string& name : names) {
        // The files after a failed one stay as they were.
        if (!ConvertFile(files, *writer, prefix, name, rule))
            return 0;
    }
    return 1;
}

int ConvertMaster(StagedView& files, std::string_view iniPath, LineRule rule)
{
    const std::string master = GetPrivateProfileString(files, iniPath, GetText(Text::SectionDir),
                                                       GetText(Text::KeyMaster), "", kMasterValueSize);
    // "21\" is left alone when "1\" failed.
    if (ConvertFolder(files, master + GetText(Text::MasterSubfolder1), rule) != 1)
        return 0;
    return ConvertFolder(files, master + GetText(Text::MasterSubfolder21), rule);
}

bool IsSizeRecord(std::string_view line)
{
    if (line.size() < 12 || line.substr(0, 6) != "400400")
        return false;
    std::string_view second = line.substr(6, 6);
    return second == "000107" || second == "000111";
}

}  // namespace

std::string ConvertSizeLine(std::string_view line)
{
    // A selected record of 185 bytes already has the new layout; one of 66 bytes or
    // fewer has no 67th byte to drop.
    constexpr std::size_t kNewLength = 185;
    constexpr std::size_t kDroppedIndex = 66;
    std::string result(line);
    if (IsSizeRecord(line) && line.size() != kNewLength && line.size() > kDroppedIndex)
        result.erase(kDroppedIndex, 1);
    return result;
}

std::string ConvertTypeLine(std::string_view line)
{
    constexpr std::size_t kTypeIndex = 13;
    std::string result(line);
    if (result.size() > kTypeIndex && (result[kTypeIndex] == 'A' || result[kTypeIndex] == 'B'))
        result[kTypeIndex] = 'Z';
    return result;
}

int ConvertMaterialSize(StagedView& files, std::string_view iniPath)
{
    return ConvertMaster(files, iniPath, ConvertSizeLine);
}

int ConvertMaterialType(StagedView& files, std::string_view iniPath)
{
    return ConvertMaster(files, iniPath, ConvertTypeLine);
}

int ConvertMaterialSizeInFolder(StagedView& files, std::string_view folder)
{
    return ConvertFolder(files, folder, ConvertSizeLine);
}

int ConvertMaterialTypeInFolder(StagedView& files, std::string_view folder)
{
    return ConvertFolder(files, folder, ConvertTypeLine);
}

int ListMatchingFiles(const FileView& files, std::vector<std::string>& table, std::string_view pattern)
{
    table.clear();
    for (FoundFile& found : FindFiles(files, pattern)) {
        if (table.size() == kMaxMasterFiles)
            break;
        // Folders, "." and ".." among them, are not master files.
        if (found.isFolder || found.name == "." || found.name == "..")
            continue;
        table.push_back(std::move(found.name));
    }
    return static_cast<int>(table.size());
}

}  // namespace pelmo
