// pelmo: the upgrade wizard, the same run unattended, or the check or packing of a package.
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "app/check_command.h"
#include "app/front_end.h"
#include "app/log_file.h"
#include "app/options.h"
#include "app/pack_command.h"
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

// A command line the program cannot act on: its line is out, the usage follows.
int BadCommandLine()
{
    std::cerr << pelmo::GetTextUtf8(pelmo::Text::CliUsage);
    return pelmo::kExitBadCommandLine;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::string_view(argv[1]) == "check")
        return pelmo::RunCheckCommand(argc - 2, argv + 2, std::cout, std::cerr);
    if (argc > 1 && std::string_view(argv[1]) == "pack")
        return pelmo::RunPackCommand(argc - 2, argv + 2, std::cout, std::cerr);
    std::string error;
    std::optional<pelmo::Options> options = pelmo::ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << error << '\n';
        return BadCommandLine();
    }
    if (options->help) {
        std::cout << pelmo::GetTextUtf8(pelmo::Text::CliUsage);
        return 0;
    }
    if (options->version) {
        std::cout << pelmo::FormatTextUtf8(pelmo::Text::CliVersion, PELMO_VERSION) << '\n';
        return 0;
    }
    if (options->unattended || options->recover || options->undo) {
        const int status = pelmo::RunUnattended(*options);
        return status == pelmo::kExitBadCommandLine ? BadCommandLine() : status;
    }
    if (!HasDisplay()) {
        std::cerr << pelmo::GetTextUtf8(pelmo::Text::CliNoDisplay) << '\n';
        return pelmo::kExitBadCommandLine;
    }
    std::optional<pelmo::FrontEndSetting> setting = pelmo::ChooseMachineAndSource(*options, std::cerr);
    if (!setting || (options->log && !pelmo::PrepareLogFile(*options->log, std::cerr)))
        return BadCommandLine();
    pelmo::InstallLog log;
    pelmo::SetLogOrigin(log, *options);
    const int status = pelmo::RunWizard(argc, argv, setting->machine, setting->sourceFolder, &log);
    if (options->log && !pelmo::WriteLogFile(*options->log, log.Utf8(), std::cerr))
        return status == 0 ? 1 : status;
    return status;
}
