// The package check's diagnostics.
#include "res/check_texts.h"

#include <array>
#include <iterator>
#include <vector>

namespace pelmo {
namespace {

struct Entry {
    CheckText id;
    const char* text;
};

// In the order of the CheckText enumeration.
constexpr Entry kTexts[] = {
    {CheckText::NoInfoTxt, "no info.txt in %1"},
    {CheckText::SavedAsUtf8,
     "info.txt is saved as UTF-8, but the program reads code page 932 (Shift-JIS): this line shows as \"%1\""},
    {CheckText::NotCp932, "not valid code page 932: the line shows as \"%1\""},
    {CheckText::TooFewLines, "info.txt ends after line %1: lines %2 to 21 read as empty, and there are no entries"},
    {CheckText::NumberWithExtra, "%1 \"%2\" reads as %3; write the number alone"},
    {CheckText::NoNumber, "%1 \"%2\" is no number and reads as 0"},
    {CheckText::FlagNotZeroOrOne, "%1 \"%2\" reads as %3: only 1 switches the step on; write 0 or 1"},
    {CheckText::MasterFlagNotOne,
     "%1 \"%2\" reads as %3: the start dialog's caption promises the adjustment, but only 1 runs it"},
    {CheckText::EntryTooFewFields, "an entry needs four fields (disk,kind,file,target); this line has %1"},
    {CheckText::EntryNoTarget, "no target field: the file is installed in the system folder itself; end the line "
                               "with a comma to say so"},
    {CheckText::EntryExtraText, "text after the fourth field is ignored: \"%1\""},
    {CheckText::EntryBlankLine, "a blank line among the entries is skipped; it ends nothing, the entries after it "
                                "are installed too"},
    {CheckText::DiskBelowOne, "disk %1: disks are numbered from 1"},
    {CheckText::UnknownKind,
     "kind \"%1\" reads as %2: only 1 is extracted as an archive, anything else is copied as it is; write 0 "
     "for a copy"},
    {CheckText::NoFileName, "the entry names no file"},
    {CheckText::BlanksAroundName, "%1 \"%2\" has blanks around it, and they are part of the name"},
    {CheckText::TargetWithoutBackslash,
     "target folder \"%1\" has no trailing backslash: the file is installed as \"%2\" in the folder above it"},
    {CheckText::FileNotOnDisk, "%1 is not on disk %2 (%3)"},
    {CheckText::ArchiveDamaged, "%1 is damaged at member \"%2\": its data fails the CRC or ends early"},
    {CheckText::ArchiveUnreadable, "%1 is not an LHA archive the program can read"},
    {CheckText::MemberNameNotCp932, "%1: member \"%2\" has a name code page 932 cannot write; the run stops there"},
    {CheckText::MemberFlattened,
     "%1: members \"%2\" and \"%3\" are both extracted as %4 (stored folders are dropped); the later one "
     "replaces the earlier"},
    {CheckText::MemberNotInstalled, "%1: member \"%2\" is a link or a device and is not installed"},
    {CheckText::StartKindsMissing,
     "no START archive for system kind %1 (%2 missing): on such a system the run stops here"},
    {CheckText::DiskGap, "no entry is on disk %1: the user is asked for disk %2 after disk %3"},
    {CheckText::DiskOneAfterOthers, "disk 1 is never asked for again: after disk %1 this file is read from disk %1"},
    {CheckText::DiskAskedAgain,
     "disk %1 is asked for again after disk %2: one more disk change for the user; keep each disk's entries "
     "together"},
    {CheckText::TargetUpperLevelMissing,
     "target \"%1\" is two or more levels deep and no earlier entry creates \"%2\": the run creates one level "
     "only, so on a system without it the entry fails"},
    {CheckText::PictureMissing, "picture %1 is not in the package folder"},
    {CheckText::PictureUnreadable, "picture %1 does not load: it is not a bitmap the program can draw"},
    {CheckText::PictureTooSmall, "picture %1 is %2 pixels and is stretched over %3: much smaller, it will look coarse"},
    {CheckText::PictureTooLarge, "picture %1 is %2 pixels and is shrunk into %3: much larger, its detail is lost"},
    {CheckText::NotesBrokenCharacter,
     "the byte after each TAB becomes a line feed, and here it is part of a double-byte character: the notes "
     "show as \"%1\"; write a TAB twice for a line break"},
    {CheckText::NotesTooManyBreaks, "more than 100 line breaks: from the 101st on, the TABs stay TABs"},
    {CheckText::NotesOverflow,
     "the notes need %1 lines in the %2's box, which shows %3: the user has to scroll to read them"},
    {CheckText::FolderTooWide,
     "install folder \"%1\" is %2 pixels wide in the dialog font; the confirmation dialog shows %3"},
};
static_assert(std::size(kTexts) == static_cast<std::size_t>(CheckText::Count));

constexpr bool InEnumerationOrder()
{
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (kTexts[i].id != static_cast<CheckText>(i))
            return false;
    return true;
}
static_assert(InEnumerationOrder());

}  // namespace

std::string FormatCheckText(CheckText id, std::initializer_list<std::string_view> arguments)
{
    const std::vector<std::string_view> values(arguments);
    const std::string_view format = kTexts[static_cast<std::size_t>(id)].text;
    std::string text;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] == '%' && next >= '1' && next <= '9') {
            const std::size_t index = static_cast<std::size_t>(next - '1');
            if (index < values.size())
                text += values[index];
            ++i;
            continue;
        }
        text += format[i];
    }
    return text;
}

}  // namespace pelmo
