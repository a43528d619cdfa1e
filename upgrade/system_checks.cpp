// The checks of the installed system's folder, run before anything is installed.
#include "upgrade/system_checks.h"

#include "platform/files.h"
#include "platform/letter_case.h"
#include "platform/profile.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "res/strings.h"

namespace pelmo {
namespace {

// Buffer sizes of the settings reads; each value is cut to one byte less.
constexpr std::size_t kVersionBufferSize = 32;
constexpr std::size_t kMakerBufferSize = 100;
constexpr std::size_t kTitleBufferSize = 100;

// A korimu1.ini without "VERSION" reads as 9999, which stands for version 2.
constexpr int kUnversioned = 9999;
constexpr int kUnversionedMeans = 2;

bool Exists(const FileView& files, std::string_view path)
{
    return Access(files, path, 0) == 0;
}

bool ExistsIn(const FileView& files, std::string_view folder, std::string_view name)
{
    return Exists(files, std::string(folder) + std::string(name));
}

// Settings-file names from info.txt may be written in any letter case.
bool NameIs(std::string_view name, Text upperCaseName)
{
    return UpperCase(name, CaseRule::Settings) == GetText(upperCaseName);
}

// 1 when one of `names` is in the folder as given or, failing that, with a
// backslash appended (which then stays); 0 when the folder does not exist.
int FindInFolderOrBelowBackslash(const FileView& files, std::string& folder, std::initializer_list<Text> names)
{
    if (!Exists(files, folder))
        return 0;
    for (Text name : names) {
        if (ExistsIn(files, folder, GetText(name)))
            return 1;
    }
    folder += '\\';
    for (Text name : names) {
        if (ExistsIn(files, folder, GetText(name)))
            return 1;
    }
    return 0;
}

}  // namespace

int LocateFileInFolder(const FileView& files, std::string& folder, std::string_view name)
{
    if (!Exists(files, folder))
        return 0;
    if (ExistsIn(files, folder, name))
        return 1;
    folder += '\\';
    return ExistsIn(files, folder, name) ? 1 : 0;
}

int CheckInstalledFolder(const FileView& files, std::string& folder, std::string_view name)
{
    const std::string onEntry = folder;
    if (LocateFileInFolder(files, folder, name) == 1)
        return 1;
    // A bare drive letter ("E") becomes the drive's root ("E:\").
    folder += ":\\";
    if (LocateFileInFolder(files, folder, name) == 1)
        return 1;
    folder = onEntry;
    return 0;
}

int CheckSystemFiles(const FileView& files, std::string& folder, std::string_view iniName)
{
    if (NameIs(iniName, Text::KorimuIniUpper) &&
        FindInFolderOrBelowBackslash(files, folder, {Text::Ko2MenuIni, Text::Ko1MenuIni}) == 0)
        return 0;
    return FindInFolderOrBelowBackslash(files, folder, {Text::FormatterExe});
}

int CheckSystemVersion(const FileView& files, std::string_view folder, std::string_view requiredVersion)
{
    // The version lives in korimu1.ini whatever settings file the system uses.
    const std::string iniPath = std::string(folder) + GetText(Text::KorimuIni);
    const std::string text =
        GetPrivateProfileString(files, iniPath, GetText(Text::SectionSystem), GetText(Text::KeyVersion),
                                GetText(Text::DefaultVersion), kVersionBufferSize);
    int installed = Atoi(text);
    if (installed == kUnversioned)
        installed = kUnversionedMeans;
    return Atoi(requiredVersion) == installed ? 1 : 0;
}

int DetectSystemKind(const FileView& files, std::string_view folder, std::string_view iniName,
                     const std::array<std::string, 5>& titleKeywords)
{
    const std::string iniPath = std::string(folder) + std::string(iniName);
    if (NameIs(iniName, Text::TivonelIniUpper)) {
        const std::string maker =
            GetPrivateProfileString(files, iniPath, GetText(Text::SectionSystem), GetText(Text::KeyMaker),
                                    GetText(Text::DefaultMaker), kMakerBufferSize);
        return Atoi(maker) == 1 ? kSystemKindMakerOne : kSystemKindOtherMaker;
    }
    // Only the first 99 bytes of the title are searched, as the system always did.
    const std::string title = GetPrivateProfileString(files, iniPath, GetText(Text::SectionSystem),
                                                      GetText(Text::KeyTitle), "", kTitleBufferSize);
    for (std::size_t k = 0; k < titleKeywords.size(); ++k) {
        // A keyword must start on a character, never on the trail byte of one.
        if (FindCp932(title, titleKeywords[k]) != std::string_view::npos)
            return static_cast<int>(k) + 1;
    }
    return kSystemKindUnknown;
}

std::vector<int> ReachableSystemKinds(std::string_view iniName, const std::array<std::string, 5>& titleKeywords)
{
    const bool eitherIni = iniName == GetText(Text::NullName);
    const bool tivonel = NameIs(iniName, Text::TivonelIniUpper);
    std::vector<int> kinds;
    if (eitherIni || tivonel)
        kinds.push_back(kSystemKindMakerOne);
    if (!tivonel) {
        // A keyword that holds an earlier one never decides: the earlier one is found first.
        for (std::size_t k = 0; k < titleKeywords.size(); ++k) {
            bool decides = true;
            for (std::size_t earlier = 0; earlier < k; ++earlier)
                decides = decides && FindCp932(titleKeywords[k], titleKeywords[earlier]) == std::string_view::npos;
            if (decides)
                kinds.push_back(static_cast<int>(k) + 1);
        }
    }
    if (eitherIni || tivonel)
        kinds.push_back(kSystemKindOtherMaker);
    return kinds;
}

}  // namespace pelmo
