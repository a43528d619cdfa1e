// A modal dialog built from a dialog template.
#include "wizard/template_dialog.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "wizard/window_kind.h"
#include "wizard/window_placement.h"

namespace pelmo {

TemplateDialog::TemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent),
      template_(FindDialogTemplate(templateId))
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
    KeepWindowState(*this, Qt::WindowNoState);
    OfferOnly(*this, WindowKind::Dialog);
    ClearTo(*this, palette().color(QPalette::Window));
}

int TemplateDialog::DoModal()
{
    if (!template_ || !QGuiApplication::primaryScreen())
        return kEndCannotShow;
    if (OnInitDialog())
        FocusFirstTabStop();
    if (template_->style & kCenterOnScreen) {
        QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        KeepCentred(*this, screen->availableGeometry());
    }
    return exec();
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

}  // namespace pelmo
