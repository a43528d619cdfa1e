// The package check's diagnostics: English, UTF-8, in the form compilers use.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace pelmo {

// Package authors read these beside their compilers' and linters' messages, so
// they are English, unlike every text the program shows its users.
enum class CheckText {
    NoInfoTxt,
    SavedAsUtf8,
    NotCp932,
    TooFewLines,
    NumberWithExtra,
    NoNumber,
    FlagNotZeroOrOne,
    MasterFlagNotOne,
    EntryTooFewFields,
    EntryNoTarget,
    EntryExtraText,
    EntryBlankLine,
    DiskBelowOne,
    UnknownKind,
    NoFileName,
    BlanksAroundName,
    TargetWithoutBackslash,
    FileNotOnDisk,
    ArchiveDamaged,
    ArchiveUnreadable,
    MemberNameNotCp932,
    MemberFlattened,
    MemberNotInstalled,
    StartKindsMissing,
    DiskGap,
    DiskOneAfterOthers,
    DiskAskedAgain,
    TargetUpperLevelMissing,
    PictureMissing,
    PictureUnreadable,
    PictureTooSmall,
    PictureTooLarge,
    NotesBrokenCharacter,
    NotesTooManyBreaks,
    NotesOverflow,
    FolderTooWide,
    Count
};

// The text with %1 to %9 replaced by the arguments in order.
std::string FormatCheckText(CheckText id, std::initializer_list<std::string_view> arguments = {});

}  // namespace pelmo
