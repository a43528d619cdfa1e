// The digitizer step: settings keys, the title, and the voice data.
#pragma once

#include <string_view>

#include "platform/staged_view.h"
#include "upgrade/archive_library.h"
#include "upgrade/prompter.h"

namespace pelmo {

// Writes "ﾃﾞｼﾞﾀｲｻﾞ" (and "ﾃﾞｼﾞﾀｲｻﾞMST" when a MASTER21 file was copied), extends
// "TITLE" once with " with ﾍﾟﾙﾓﾝﾄ", then extracts the voice data. Reports its own
// failures and never ends the run; false when it reported one.
bool RunDigitizerStep(StagedView& files, Prompter& prompter, ArchiveLibrary& archive, std::string_view workFolder,
                      std::string_view iniName, bool masterFileCopied);

// Extracts folder + "音声\wave" into the "WAV" folder of the settings file, when
// that folder exists; shows the library's text when the extraction fails, and
// then returns false.
bool ExtractVoiceData(StagedView& files, Prompter& prompter, ArchiveLibrary& archive, std::string_view folder,
                      std::string_view iniName);

}  // namespace pelmo
