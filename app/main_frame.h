// CMainFrame: the maximised main window without menu, system menu or sizing border.
#pragma once

#include <QMainWindow>
#include <span>

#include "wizard/command_event.h"
#include "wizard/wizard_context.h"

namespace pelmo {

class CPelmoView;

// Its caption is the first line of info.txt (command 104); the view fills it.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(WizardContext& context);

    // Creates the view (which reads the package and posts the first step), makes
    // the window fill the screen and posts command 104. 0, or -1 on failure.
    int OnCreate();

    CPelmoView* view() const { return view_; }

protected:
    bool event(QEvent* event) override;

private:
    void OnPackageTitle();
    // The screen's available area changed: the window follows it.
    void OnScreenChange(const QRect& area);

    static const CommandEntry<CMainFrame> kCommands[];
    static std::span<const CommandEntry<CMainFrame>> Commands();

    WizardContext& context_;
    CPelmoView* view_ = nullptr;
};

}  // namespace pelmo
