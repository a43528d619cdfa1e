// The command line of `pelmo check`.
#include "app/check_options.h"

#include <string_view>

#include "app/options.h"
#include "platform/runtime.h"
#include "res/strings.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// "N=DIR" with N a plain number from 2; disk 1 is the package folder.
bool StoreDisk(CheckRequest& request, std::string_view value, std::string& error)
{
    const std::size_t equals = value.find('=');
    const std::string_view number = value.substr(0, equals);
    const bool plain =
        !number.empty() && number.size() <= 4 && number.find_first_not_of("0123456789") == std::string_view::npos;
    if (equals == std::string_view::npos || !plain || Atoi(number) < 2 || equals + 1 == value.size()) {
        error = FormatTextUtf8(Text::CliBadDisk, std::string(value));
        return false;
    }
    if (!request.disks.emplace(Atoi(number), fs::path(std::string(value.substr(equals + 1)))).second) {
        error = FormatTextUtf8(Text::CliRepeatedOption, "--disk " + std::string(number));
        return false;
    }
    return true;
}

}  // namespace

std::optional<CheckOptions> ParseCheckOptions(int argc, const char* const* argv, std::string& error)
{
    CheckOptions options;
    bool packageGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        auto [name, value] = SplitOptionArgument(argument);
        if (name == "--help" && !value) {
            options.help = true;
            continue;
        }
        if (name != "--package" && name != "--disk") {
            error = FormatTextUtf8(Text::CliUnknownOption, std::string(argument));
            return std::nullopt;
        }
        if (!TakeOptionValue(argc, argv, i, name, value, error))
            return std::nullopt;
        if (name == "--disk") {
            if (!StoreDisk(options.request, *value, error))
                return std::nullopt;
            continue;
        }
        if (packageGiven || value->empty()) {
            error = FormatTextUtf8(packageGiven ? Text::CliRepeatedOption : Text::CliMissingValue, "--package");
            return std::nullopt;
        }
        options.request.package = std::string(*value);
        packageGiven = true;
    }
    if (!packageGiven)
        options.request.package = ".";
    return options;
}

}  // namespace pelmo
