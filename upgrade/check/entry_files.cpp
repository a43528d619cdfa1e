// The check of each entry's file: on its disk, and for archives whole and with usable names.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/letter_case.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "res/check_texts.h"
#include "res/strings.h"
#include "upgrade/check/archive_walk.h"
#include "upgrade/check/check_context.h"
#include "upgrade/member_name.h"
#include "upgrade/system_checks.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {
namespace {

struct SystemKind {
    int kind;
    std::string label;  // for messages, UTF-8
};

// The kinds the run can meet with this package, each named by what decides it.
std::vector<SystemKind> KindsTheRunCanMeet(const PackageInfo& info)
{
    std::vector<SystemKind> kinds;
    for (const int kind : ReachableSystemKinds(info.systemIniName, info.titleKeywords)) {
        if (kind == kSystemKindMakerOne)
            kinds.push_back({kind, std::to_string(kind) + " (tivonel1.ini, maker 1)"});
        else if (kind == kSystemKindOtherMaker)
            kinds.push_back({kind, std::to_string(kind) + " (tivonel1.ini, another maker)"});
        else
            kinds.push_back({kind, std::to_string(kind) + " (title keyword \"" +
                                       Shown(info.titleKeywords[static_cast<std::size_t>(kind - 1)]) + "\")"});
    }
    return kinds;
}

bool IsOnDisk(const CheckContext& context, const std::string& path)
{
    return InputFile::Open(DiskView(context.machine), path).has_value();
}

class EntryFiles {
public:
    explicit EntryFiles(CheckContext& context) : context_(context), kinds_(KindsTheRunCanMeet(context.info)) {}

    void Check(const NumberedEntry& numbered)
    {
        const PackageEntry& entry = numbered.entry;
        if (entry.fileName.empty())
            return;
        const std::string& folder = context_.FolderOfDisk(entry.disk);
        if (entry.isStart()) {
            CheckStartArchives(numbered, folder);
            return;
        }
        std::string name = entry.fileName;
        if (entry.isArchive())
            name += GetText(Text::ArchiveExtension);
        if (!IsOnDisk(context_, folder + name)) {
            context_.findings.Error(
                numbered.line, FormatCheckText(CheckText::FileNotOnDisk, {Shown(name), std::to_string(entry.disk),
                                                                          context_.ShownFolderOfDisk(entry.disk)}));
            return;
        }
        if (entry.isArchive())
            CheckArchive(numbered.line, folder, name);
    }

private:
    void CheckStartArchives(const NumberedEntry& numbered, const std::string& folder)
    {
        std::string missingKinds, missingNames;
        std::size_t missing = 0;
        for (const SystemKind& kind : kinds_) {
            const std::string name =
                numbered.entry.fileName + StartArchiveSuffix(kind.kind) + GetText(Text::ArchiveExtension);
            if (IsOnDisk(context_, folder + name)) {
                CheckArchive(numbered.line, folder, name);
                continue;
            }
            missingKinds += (missing ? ", " : "") + kind.label;
            missingNames += (missing ? ", " : "") + Shown(name);
            ++missing;
        }
        if (missing == 0)
            return;
        const std::string text = FormatCheckText(CheckText::StartKindsMissing, {missingKinds, missingNames});
        // With no archive at all the entry fails on every system.
        if (missing == kinds_.size())
            context_.findings.Error(numbered.line, text);
        else
            context_.findings.Warn(numbered.line, text);
    }

    void CheckArchive(int line, const std::string& folder, const std::string& name)
    {
        // An archive extracted by several entries is read once.
        if (!checked_.insert(UpperCase(folder + name, CaseRule::Package)).second)
            return;
        const ArchiveWalk walk = WalkArchive(context_.machine, folder + name);
        Findings& findings = context_.findings;
        if (walk.end == ArchiveWalk::End::Unreadable) {
            findings.Error(line, FormatCheckText(CheckText::ArchiveUnreadable, {Shown(name)}));
            return;
        }
        if (walk.end == ArchiveWalk::End::Damaged)
            findings.Error(line, FormatCheckText(CheckText::ArchiveDamaged, {Shown(name), walk.damagedMember}));
        CheckMemberNames(line, Shown(name), walk.members);
    }

    void CheckMemberNames(int line, const std::string& archive, const std::vector<StoredMember>& members)
    {
        // Names match case-insensitively on the disk, so "a.txt" lands on "A.TXT".
        std::map<std::string, std::string> extractedAs;
        for (const StoredMember& member : members) {
            if (!member.isFile)
                continue;
            const auto name = MemberFileName(member.path);
            if (!name) {
                // Shown as the run's message shows it.
                context_.findings.Error(line, FormatCheckText(CheckText::MemberNameNotCp932,
                                                              {archive, Shown(Utf8ToCp932Lossy(member.path))}));
                continue;
            }
            if (name->empty())
                continue;
            const std::string shown = Shown(*name);
            auto [earlier, added] = extractedAs.emplace(UpperCase(shown, CaseRule::FileName), member.path);
            if (!added)
                context_.findings.Error(
                    line, FormatCheckText(CheckText::MemberFlattened, {archive, earlier->second, member.path, shown}));
        }
    }

    CheckContext& context_;
    const std::vector<SystemKind> kinds_;
    std::set<std::string> checked_;
};

}  // namespace

void CheckEntryFiles(CheckContext& context)
{
    EntryFiles files(context);
    for (const NumberedEntry& numbered : context.entries)
        files.Check(numbered);
}

}  // namespace pelmo
