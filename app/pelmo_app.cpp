// CPelmoApp: start-up of the wizard and the About command.
#include "app/pelmo_app.h"

#include "app/about_dlg.h"
#include "app/main_frame.h"

namespace pelmo {

const CommandEntry<CPelmoApp> CPelmoApp::kCommands[] = {
    {ID_APP_ABOUT, &CPelmoApp::OnAppAbout},
};

std::span<const CommandEntry<CPelmoApp>> CPelmoApp::Commands()
{
    return kCommands;
}

// SourceFolder is worked out by the caller from the executable's own path (or
// the package option) before the window exists.
CPelmoApp::CPelmoApp(const Machine& machine, std::string sourceFolder, InstallLog* log)
    : machine_(machine),
      context_{machine_, std::move(sourceFolder), log, {}}
{
}

CPelmoApp::~CPelmoApp() = default;

bool CPelmoApp::InitInstance()
{
    frame_ = std::make_unique<CMainFrame>(context_);
    if (frame_->OnCreate() == -1) {
        frame_.reset();
        return false;
    }
    frame_->show();
    frame_->repaint();
    return true;
}

bool CPelmoApp::event(QEvent* event)
{
    if (DispatchCommand(*this, Commands(), event))
        return true;
    return QObject::event(event);
}

void CPelmoApp::OnAppAbout()
{
    CAboutDlg dialog(frame_.get());
    dialog.DoModal();
}

}  // namespace pelmo
