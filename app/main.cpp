// pelmo: the upgrade wizard, or the same run unattended.
#include <cstdlib>
#include <iostream>

#include "app/front_end.h"
#include "app/log_file.h"
#include "app/options.h"
#include "app/unattended.h"
#include "app/wizard_main.h"
#include "res/strings.h"
#include "upgrade/install_log.h"

namespace {

// Without a display Qt would abort; say what to do instead.
bool HasDisplay()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    std::string error;
    std::optional<pelmo::Options> options = pelmo::ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << error << '\n' << pelmo::GetTextUtf8(pelmo::Text::CliUsage);
        return pelmo::kExitBadCommandLine;
    }
    if (options->help) {
        std::cout << pelmo::GetTextUtf8(pelmo::Text::CliUsage);
        return 0;
    }
    if (options->unattended || options->recover || options->undo)
        return pelmo::RunUnattended(*options);
    if (!HasDisplay()) {
        std::cerr << pelmo::GetTextUtf8(pelmo::Text::CliNoDisplay) << '\n';
        return pelmo::kExitBadCommandLine;
    }
    std::optional<pelmo::FrontEndSetting> setting = pelmo::ChooseMachineAndSource(*options, std::cerr);
    if (!setting || (options->log && !pelmo::PrepareLogFile(*options->log, std::cerr)))
        return pelmo::kExitBadCommandLine;
    pelmo::InstallLog log;
    const int status = pelmo::RunWizard(argc, argv, setting->machine, setting->sourceFolder, &log);
    if (options->log && !pelmo::WriteLogFile(*options->log, log.Utf8(), std::cerr))
        return status == 0 ? 1 : status;
    return status;
}
