// The wizard front end.
#include "app/wizard_main.h"

#include <QApplication>

#include "app/front_end.h"
#include "app/pelmo_app.h"

namespace pelmo {

int RunWizard(int& argc, char** argv, const Machine& machine, std::string sourceFolder, InstallLog* log)
{
    QApplication application(argc, argv);
    CPelmoApp app(machine, std::move(sourceFolder), log);
    if (!app.InitInstance())
        return kExitBadCommandLine;  // the wizard cannot start, as without a display
    QApplication::exec();
    return WizardExitStatus(app.context().lastRun);
}

}  // namespace pelmo
