// `pelmo check`: the command that checks a package and prints what it finds.
#include "app/check_command.h"

#include <ostream>

#include "app/check_options.h"
#include "app/options.h"
#include "res/strings.h"
#include "wizard/qt_dialog_measure.h"

namespace pelmo {

int RunCheckCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    std::string error;
    const std::optional<CheckOptions> options = ParseCheckOptions(argc, argv, error);
    if (!options) {
        return RefuseCommandLine(err, error);
    }
    if (options->help) {
        out << GetTextUtf8(Text::CliUsage);
        return 0;
    }
    const QtDialogMeasure measure;
    const std::optional<Findings> findings = CheckPackage(options->request, measure, error);
    if (!findings) {
        return RefuseCommandLine(err, error);
    }
    findings->Print(out);
    return findings->Status();
}

}  // namespace pelmo
