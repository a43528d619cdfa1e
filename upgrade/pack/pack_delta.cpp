// A delta package: the version it requires and the files that differ from OLD.
#include "upgrade/pack/builder.h"

#include <cstring>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/streams.h"
#include "res/strings.h"

namespace pelmo::pack {

// A delta requires the version of the installed system it applies to: that
// of OLD's settings file, as the run reads it.
bool Builder::TakeOldVersion()
{
    std::vector<std::string> names = {description_.fixedLines[8]};
    if (names[0] == "NULL")
        names = {"korimu1.ini", "tivonel1.ini"};
    for (const std::string& name : names) {
        if (Access(disk_, old_ + name, 0) != 0)
            continue;
        const std::string version = GetPrivateProfileString(disk_, old_ + name, GetText(Text::SectionSystem),
                                                            GetText(Text::KeyVersion), "", 256);
        description_.fixedLines[6] = version;
        return true;
    }
    result_.description.Error(0, request_.from.string() + " holds no settings file (" + Shown(names[0]) +
                                     (names.size() > 1 ? " or tivonel1.ini" : "") + ") to take the version from");
    return false;
}

// Whether OLD holds `installed` (below the system folder) with these bytes.
bool Builder::SameInOld(const std::string& installed, const std::string& newPath)
{
    auto old = InputFile::Open(disk_, old_ + installed);
    auto now = InputFile::Open(disk_, newPath);
    if (!old || !now || old->size() != now->size())
        return false;
    std::string a(kPiece, '\0'), b(kPiece, '\0');
    for (;;) {
        const long got = old->Read(a.data(), a.size());
        const long other = now->Read(b.data(), b.size());
        if (got != other || got < 0)
            return false;
        if (got == 0)
            return true;
        if (std::memcmp(a.data(), b.data(), static_cast<std::size_t>(got)) != 0)
            return false;
    }
}

// A delta's file to install: in the plan when it differs from OLD's.
bool Builder::Changed(const std::string& target, const std::string& name, const std::string& newPath)
{
    if (old_.empty())
        return true;
    const std::string installed = target + name;
    if (SameInOld(installed, newPath))
        return false;
    const bool added = Access(disk_, old_ + installed, 0) != 0;
    result_.plan.push_back((added ? "added " : "replaced ") +
                           Shown(WithBackslash(description_.fixedLines[5]) + installed));
    return true;
}

// Files of OLD in an archive's target folder that NEW no longer has.
void Builder::WarnRemoved(const PackEntry& entry, const std::vector<FolderItem>& now)
{
    if (old_.empty() || entry.target.empty())
        return;
    const auto before = ListFolder(machine_, old_ + entry.target);
    if (!before)
        return;
    std::set<std::string> names;
    for (const FolderItem& item : now)
        names.insert(Key(Utf8ToCp932Lossy(item.name)));
    for (const FolderItem& item : *before)
        if (item.isFile && !names.contains(Key(Utf8ToCp932Lossy(item.name))))
            result_.description.Warn(entry.line, request_.from.string() + " has " + Shown(entry.target) + item.name +
                                                     ", which the package does not install: a run cannot remove it");
}

}  // namespace pelmo::pack
