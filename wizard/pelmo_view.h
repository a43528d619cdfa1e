// CPelmoView: the main window's view. Holds the package, paints its picture, drives the wizard.
#pragma once

#include <QWidget>
#include <span>

#include "package/package_info.h"
#include "wizard/command_event.h"
#include "wizard/qt_prompter.h"
#include "wizard/wizard_context.h"

namespace pelmo {

class TemplateDialog;

// Each step posts the next one to the view (or the close message to the frame),
// so a step's dialog is gone before the next one is made.
class CPelmoView : public QWidget {
    Q_OBJECT
public:
    CPelmoView(WizardContext& context, QWidget* frame);

    // Called by the frame while it creates itself: reads the package, then posts
    // the first step. 0 to go on.
    int OnCreate();

    const PackageInfo& packageInfo() const { return info_; }
    PackageInfo& packageInfo() { return info_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Shows a dialog modally and gives its end code; -1 when it cannot be shown.
    virtual int ShowDialog(TemplateDialog& dialog);
    // The upgrade run: 1 when the program is to end, 0 to choose a folder again.
    virtual int RunUpgrade();

private:
    void OnWizardStart();
    void OnWizardDestination();
    void OnWizardConfirm();
    void OnPaint();
    void CloseFrame();

    static const CommandEntry<CPelmoView> kCommands[];
    static std::span<const CommandEntry<CPelmoView>> Commands();

    WizardContext& context_;
    PackageInfo info_;
    QtPrompter prompter_;
};

}  // namespace pelmo
