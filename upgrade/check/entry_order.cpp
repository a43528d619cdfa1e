// The check of the entries' order: which disks the user is asked for, and which folders exist in time.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/letter_case.h"
#include "platform/text.h"
#include "res/check_texts.h"
#include "upgrade/check/check_context.h"

namespace pelmo {
namespace {

// The run asks for a disk when an entry's number differs from the disk last asked
// for, and never for disk 1.
void CheckDiskChanges(CheckContext& context)
{
    int currentDisk = 1;
    std::set<int> asked;
    for (const NumberedEntry& numbered : context.entries) {
        const int disk = numbered.entry.disk;
        if (disk < 1 || disk == currentDisk)
            continue;
        if (disk == 1) {
            context.findings.Error(numbered.line,
                                   FormatCheckText(CheckText::DiskOneAfterOthers, {std::to_string(currentDisk)}));
            continue;
        }
        if (!asked.insert(disk).second)
            context.findings.Warn(numbered.line, FormatCheckText(CheckText::DiskAskedAgain,
                                                                 {std::to_string(disk), std::to_string(currentDisk)}));
        currentDisk = disk;
    }
}

void CheckDiskGaps(CheckContext& context)
{
    std::map<int, int> firstLineOfDisk;
    for (const NumberedEntry& numbered : context.entries)
        if (numbered.entry.disk >= 1)
            firstLineOfDisk.emplace(numbered.entry.disk, numbered.line);
    int previous = 1;
    for (const auto& [disk, line] : firstLineOfDisk) {
        if (disk > previous + 1) {
            const std::string missing = disk == previous + 2
                                            ? std::to_string(previous + 1)
                                            : std::to_string(previous + 1) + " to " + std::to_string(disk - 1);
            context.findings.Warn(
                line, FormatCheckText(CheckText::DiskGap, {missing, std::to_string(disk), std::to_string(previous)}));
        }
        previous = disk;
    }
}

// The folders of a target, outermost first: "A\B\" gives "A\" and "A\B\".
std::vector<std::string> FolderLevels(std::string_view target)
{
    std::vector<std::string> levels;
    std::string path;
    bool pending = false;  // a name since the last separator
    for (std::size_t pos = 0; pos < target.size();) {
        const std::size_t length = CharLength(target, pos);
        const bool separator = length == 1 && (target[pos] == '\\' || target[pos] == '/');
        path.append(target.substr(pos, length));
        if (separator && pending)
            levels.push_back(path);
        pending = !separator;
        pos += length;
    }
    if (pending)
        levels.push_back(path + '\\');
    return levels;
}

// The run makes the target folder alone, one level deep; the levels above must
// exist, so on a system that lacks them only an earlier entry can have made them.
void CheckTargetDepth(CheckContext& context)
{
    std::set<std::string> made;
    auto key = [](const std::string& folder) { return UpperCase(folder, CaseRule::Package); };
    for (const NumberedEntry& numbered : context.entries) {
        const std::string& target = numbered.entry.targetSubfolder;
        // A target from the root or another drive is not below the system folder.
        if (target.empty() || target[0] == '\\' || target[0] == '/' || (target.size() > 1 && target[1] == ':'))
            continue;
        const std::vector<std::string> levels = FolderLevels(target);
        for (std::size_t level = 0; level + 1 < levels.size(); ++level) {
            if (!made.contains(key(levels[level]))) {
                context.findings.Warn(numbered.line, FormatCheckText(CheckText::TargetUpperLevelMissing,
                                                                     {Shown(target), Shown(levels[level])}));
                break;
            }
        }
        // Its own upper levels were found missing above, if they are; not again below.
        for (const std::string& level : levels)
            made.insert(key(level));
    }
}

}  // namespace

void CheckEntryOrder(CheckContext& context)
{
    CheckDiskChanges(context);
    CheckDiskGaps(context);
    CheckTargetDepth(context);
}

}  // namespace pelmo
