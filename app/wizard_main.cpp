// The wizard front end.
#include "app/wizard_main.h"

#include <QApplication>

#include "app/pelmo_app.h"

namespace pelmo {

int RunWizard(int& argc, char** argv, const Machine& machine, std::string sourceFolder, InstallLog* log)
{
    QApplication application(argc, argv);
    CPelmoApp app(machine, std::move(sourceFolder), log);
    if (!app.InitInstance())
        return 1;
    QApplication::exec();
    return 0;
}

}  // namespace pelmo
