// CPelmoApp: start-up of the wizard — SourceFolder, the main window, its view.
#pragma once

#include <QObject>
#include <memory>
#include <span>
#include <string>

#include "platform/machine.h"
#include "wizard/command_event.h"
#include "wizard/wizard_context.h"

namespace pelmo {

class CMainFrame;

// Owns the machine the wizard works on (its current folders change) and the frame.
class CPelmoApp : public QObject {
    Q_OBJECT
public:
    CPelmoApp(const Machine& machine, std::string sourceFolder, InstallLog* log = nullptr);
    ~CPelmoApp() override;

    // True when the main window stands; false to end the program at once.
    bool InitInstance();

    CMainFrame* mainFrame() const { return frame_.get(); }
    const WizardContext& context() const { return context_; }

protected:
    bool event(QEvent* event) override;

private:
    void OnAppAbout();

    static const CommandEntry<CPelmoApp> kCommands[];
    static std::span<const CommandEntry<CPelmoApp>> Commands();

    Machine machine_;
    WizardContext context_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace pelmo
