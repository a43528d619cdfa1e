// The digitizer step: settings keys, the title, and the voice data.
#include "upgrade/digitizer.h"

#include <limits>
#include <string>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "res/strings.h"

namespace pelmo {
namespace {

// The title is read whole: a title cut to a buffer and written back would lose
// its end for good.
constexpr std::size_t kWholeValue = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kVoiceFolderBufferSize = 100;
constexpr std::size_t kVoiceOutputSize = 100;

constexpr std::string_view kOne = "1";

// Appends the option's name to the title once; true when nothing had to be
// written or the write succeeded.
bool ExtendTitle(StagedView& files, std::string_view iniPath)
{
    const std::string& section = GetText(Text::SectionSystem);
    std::string title = GetPrivateProfileString(files, iniPath, section, GetText(Text::KeyTitle), "", kWholeValue);
    if (FindCp932(title, GetText(Text::DigitizerName)) != std::string_view::npos)
        return true;
    title += GetText(Text::DigitizerSuffix);
    return WritePrivateProfileString(files, iniPath, section, GetText(Text::KeyTitle), title);
}

}  // namespace

bool RunDigitizerStep(StagedView& files, Prompter& prompter, ArchiveLibrary& archive, std::string_view workFolder,
                      std::string_view iniName, bool masterFileCopied)
{
    const std::string iniPath = std::string(workFolder) + std::string(iniName);
    const std::string& section = GetText(Text::SectionSystem);

    // Every write is tried even after one failed; the user hears of it once.
    bool written = WritePrivateProfileString(files, iniPath, section, GetText(Text::KeyDigitizer), kOne);
    if (masterFileCopied)
        written = WritePrivateProfileString(files, iniPath, section, GetText(Text::KeyDigitizerMst), kOne) && written;
    written = ExtendTitle(files, iniPath) && written;
    if (!written)
        prompter.MessageBox(FormatText(Text::UpdateFailed, iniPath), GetText(Text::CaptionConfirm), MB_OK);

    return ExtractVoiceData(files, prompter, archive, workFolder, iniName) && written;
}

bool ExtractVoiceData(StagedView& files, Prompter& prompter, ArchiveLibrary& archive, std::string_view folder,
                      std::string_view iniName)
{
    const std::string iniPath = std::string(folder) + std::string(iniName);
    const std::string windowsFolder = files.machine().GetWindowsDirectory();
    archive.SetMode6(0);
    archive.SetMode8(1);

    const std::string voiceFolder = GetPrivateProfileString(files, iniPath, GetText(Text::SectionDir),
                                                            GetText(Text::KeyWav), "", kVoiceFolderBufferSize);
    if (Access(files, voiceFolder, 0) != 0)
        return true;

    // The command line is as long as it needs to be; a long installed folder must
    // not cut the target off.
    const std::string archivePath = std::string(folder) + GetText(Text::VoiceArchive);
    const std::string command = BuildExtractCommand(windowsFolder, archivePath, voiceFolder);
    std::string output;
    if (archive.Execute(files, command, output, kVoiceOutputSize) == 0)
        return true;
    prompter.MessageBox(output, GetText(Text::CaptionConfirm), MB_OK);
    return false;
}

}  // namespace pelmo
