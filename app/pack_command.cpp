// `pelmo pack`: its command line, around the Qt-free builder, measuring in the dialogs' font.
#include "app/pack_command.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "res/strings.h"
#include "upgrade/pack/pack_builder.h"
#include "wizard/qt_dialog_measure.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Below a few sectors not even info.txt fits; above 4 GiB no FAT medium.
constexpr std::uint64_t kSmallestDisk = 4096;
constexpr std::uint64_t kLargestDisk = std::uint64_t{1} << 32;

struct PackOptions {
    bool help = false;
    PackRequest request;
};

std::optional<PackOptions> ParsePackOptions(int argc, const char* const* argv, std::string& error)
{
    PackOptions options;
    bool sizeGiven = false;
    std::vector<std::string> operands;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.size() > 1 && argument[0] == '-' && operands.empty()) {
            auto [name, value] = SplitOptionArgument(argument);
            if ((name == "--help" || name == "--one-folder") && !value) {
                (name == "--help" ? options.help : options.request.oneFolder) = true;
                continue;
            }
            if (name == "--from" || name == "--to") {
                if (!TakeOptionValue(argc, argv, i, name, value, error))
                    return std::nullopt;
                fs::path& folder = name == "--from" ? options.request.from : options.request.source;
                if (!folder.empty() || value->empty()) {
                    error = FormatTextUtf8(folder.empty() ? Text::CliMissingValue : Text::CliRepeatedOption,
                                           std::string(name));
                    return std::nullopt;
                }
                folder = std::string(*value);
                continue;
            }
            if (name != "--disk-size") {
                error = FormatTextUtf8(Text::CliUnknownOption, std::string(argument));
                return std::nullopt;
            }
            if (!TakeOptionValue(argc, argv, i, name, value, error))
                return std::nullopt;
            const bool digits = !value->empty() && value->size() <= 10 &&
                                value->find_first_not_of("0123456789") == std::string_view::npos;
            const std::uint64_t bytes = digits ? std::stoull(std::string(*value)) : 0;
            if (sizeGiven || bytes < kSmallestDisk || bytes > kLargestDisk) {
                error = sizeGiven ? FormatTextUtf8(Text::CliRepeatedOption, "--disk-size")
                                  : "pelmo: --disk-size needs a number of bytes from 4096 to 4294967296";
                return std::nullopt;
            }
            options.request.diskSize = bytes;
            sizeGiven = true;
            continue;
        }
        operands.emplace_back(argument);
    }
    if (options.help)
        return options;
    const bool delta = !options.request.from.empty() || !options.request.source.empty();
    if (delta && (options.request.from.empty() || options.request.source.empty())) {
        error = "pelmo: --from and --to go together";
        return std::nullopt;
    }
    if (operands.size() != 2) {
        error =
            delta ? "pelmo: pack --from OLD --to NEW needs DESCRIPTION and OUT" : "pelmo: pack needs SOURCE and OUT";
        return std::nullopt;
    }
    (delta ? options.request.description : options.request.source) = operands[0];
    options.request.out = operands[1];
    return options;
}

}  // namespace

int RunPackCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    std::string error;
    const std::optional<PackOptions> options = ParsePackOptions(argc, argv, error);
    if (!options) {
        return RefuseCommandLine(err, error);
    }
    if (options->help) {
        out << GetTextUtf8(Text::CliUsage);
        return 0;
    }
    const QtDialogMeasure measure;
    const PackResult result = BuildPackage(options->request, measure);
    if (!result.problem.empty()) {
        return RefuseCommandLine(err, result.problem);
    }
    const std::string description = options->request.from.empty() ? (options->request.source / "pack.txt").string()
                                                                  : options->request.description.string();
    for (const Finding& finding : result.description.Sorted()) {
        out << description << ':' << (finding.line > 0 ? std::to_string(finding.line) + ":" : "")
            << (finding.severity == Severity::Error ? " error: " : " warning: ") << finding.text << '\n';
    }
    const std::string written = result.disks.empty() ? options->request.out.string() : result.disks[0].string();
    for (const Finding& finding : result.check.Sorted())
        out << written << '/' << FormatFinding(finding) << '\n';
    if (!result.written)
        return kCheckErrors;
    for (std::size_t disk = 0; disk < result.disks.size(); ++disk)
        out << "disk " << disk + 1 << ": " << result.disks[disk].string() << '\n';
    std::vector<std::string> plan = result.plan;
    std::sort(plan.begin(), plan.end(),
              [](const std::string& a, const std::string& b) { return a.substr(a.find(' ')) < b.substr(b.find(' ')); });
    for (const std::string& line : plan)
        out << line << '\n';
    return std::max(result.description.Status(), result.check.Status());
}

}  // namespace pelmo
