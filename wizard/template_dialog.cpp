// A modal dialog built from a dialog template.
#include "wizard/template_dialog.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "wizard/window_placement.h"

namespace pelmo {

TemplateDialog::TemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent), template_(FindDialogTemplate(templateId))
{
    if (!template_)
        return;
    controls_ = BuildDialog(*this, *template_);
    if (auto* ok = Item<QPushButton>(kEndOk))
        connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = Item<QPushButton>(kEndCancel))
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (template_->style & kSystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    KeepEmptyCaptions(*this);
}

int TemplateDialog::DoModal()
{
    if (!template_ || !QGuiApplication::primaryScreen())
        return kEndCannotShow;
    if (OnInitDialog())
        FocusFirstTabStop();
    if (template_->style & kCenterOnScreen) {
        CentreOnScreen();
        FollowScreen(*this, [this](const QRect& area) { CentreIn(area); });
    }
    return exec();
}

void TemplateDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    // The window manager's frame is known only once the dialog is on the screen.
    if (!centredIn_.isNull() && frameGeometry().size() != centredFrame_)
        CentreIn(centredIn_);
}

void TemplateDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    KeepWindowState(*this, event, Qt::WindowNoState);
}

void TemplateDialog::FocusFirstTabStop()
{
    for (const ControlTemplate& control : template_->controls) {
        QWidget* widget = (control.style & kTabStop) ? GetDlgItem(control.id) : nullptr;
        if (widget && !widget->isHidden() && widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TemplateDialog::CentreOnScreen()
{
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    CentreIn(screen->availableGeometry());
}

void TemplateDialog::CentreIn(const QRect& area)
{
    centredIn_ = area;
    centredFrame_ = frameGeometry().size();
    pelmo::CentreIn(*this, area);
}

}  // namespace pelmo
