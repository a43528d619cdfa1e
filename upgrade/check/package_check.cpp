// pelmo check: reads the package as the run would, and lets each part of the check look at it.
#include "upgrade/check/package_check.h"

#include "package/source_folder.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "res/check_texts.h"
#include "res/strings.h"
#include "upgrade/check/check_context.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

std::optional<std::string> SourceFolderOrError(const Machine& machine, const fs::path& folder, std::string& error)
{
    PackageFolder found = SourceFolderForHostFolder(machine, folder);
    if (found.problem != FolderProblem::None) {
        error = FolderProblemText(found, folder);
        return std::nullopt;
    }
    return found.sourceFolder;
}

// info.txt line by line, as the run's reader splits it.
std::optional<std::vector<std::string>> ReadLines(const Machine& machine, const std::string& sourceFolder)
{
    auto file = InputFile::Open(DiskView(machine), sourceFolder + GetText(Text::InfoTxt));
    if (!file)
        return std::nullopt;
    TextReader reader(std::move(*file));
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    return lines;
}

// The entry lines with their numbers; blank lines are no entries, as for the run.
std::vector<NumberedEntry> NumberEntries(const std::vector<std::string>& lines)
{
    std::vector<NumberedEntry> entries;
    for (std::size_t i = info_line::kFixedCount; i < lines.size(); ++i)
        if (!IsBlankEntryLine(lines[i]))
            entries.push_back({static_cast<int>(i) + 1, lines[i], ParseEntryLine(lines[i])});
    return entries;
}

}  // namespace

const std::string& CheckContext::FolderOfDisk(int disk) const
{
    auto found = diskFolders.find(disk);
    return found == diskFolders.end() ? packageFolder : found->second;
}

const std::string& CheckContext::ShownFolderOfDisk(int disk) const
{
    auto found = shownDiskFolders.find(disk);
    return found == shownDiskFolders.end() ? shownPackageFolder : found->second;
}

std::string Shown(std::string_view cp932)
{
    return Cp932ToUtf8Lossy(cp932);
}

std::optional<Findings> CheckPackage(const CheckRequest& request, const DialogMeasure& measure, std::string& error)
{
    // Z: is the whole host: a package needs no machine to be checked.
    const Machine machine = Machine::BuiltIn();
    auto packageFolder = SourceFolderOrError(machine, request.package, error);
    if (!packageFolder)
        return std::nullopt;
    Findings findings;
    CheckContext context{machine, *packageFolder, {}, {}, request.package.string(), {}, {}, {}, findings};
    for (const auto& [disk, folder] : request.disks) {
        auto diskFolder = SourceFolderOrError(machine, folder, error);
        if (!diskFolder)
            return std::nullopt;
        context.diskFolders[disk] = *diskFolder;
        context.shownDiskFolders[disk] = folder.string();
    }

    auto lines = ReadLines(machine, context.packageFolder);
    if (!lines) {
        findings.Error(0, FormatCheckText(CheckText::NoInfoTxt, {context.shownPackageFolder}));
        return findings;
    }
    context.lines = std::move(*lines);
    LoadPackageInfo(machine, context.packageFolder, context.info);
    context.entries = NumberEntries(context.lines);

    CheckInfoLines(context);
    CheckEntryFiles(context);
    CheckEntryOrder(context);
    CheckDialogs(context, measure);
    return findings;
}

}  // namespace pelmo
