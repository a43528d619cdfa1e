// The progress window of a run.
#include "wizard/progress_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>
#include <qdrawutil.h>

#include "res/dialog_templates.h"
#include "wizard/display_text.h"
#include "wizard/window_kind.h"
#include "wizard/window_placement.h"

namespace pelmo {
namespace {

// A file name too long for the line keeps its start and end.
void SetLine(QWidget* control, const std::string& text)
{
    auto* label = qobject_cast<QLabel*>(control);
    if (!label)
        return;
    const QString shown = ToDisplay(text);
    label->setText(label->fontMetrics().elidedText(shown, Qt::ElideMiddle, label->contentsRect().width()));
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner) : QDialog(owner)
{
    controls_ = BuildDialog(*this, *FindDialogTemplate(IDD_PROGRESS));
    // No close box, and the keyboard stays where it was: the run takes no input.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    OfferOnly(*this, WindowKind::Progress);
    ClearTo(*this, palette().color(QPalette::Window));
    setFocusPolicy(Qt::NoFocus);
    KeepWindowState(*this, Qt::WindowNoState);
    QWidget* over = owner ? owner->window() : nullptr;
    QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    KeepCentred(*this, over ? over->frameGeometry() : screen->availableGeometry());
}

void ProgressWindow::paintEvent(QPaintEvent*)
{
    // The window managers that only move it give it no frame: it draws the
    // raised edge of a dialog itself.
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette());
}

void ProgressWindow::Show(const ProgressLines& lines)
{
    SetLine(controls_.Find(IDC_PROGRESS_ACTION), lines.action);
    SetLine(controls_.Find(IDC_PROGRESS_COUNT), lines.count);
    if (auto* bar = qobject_cast<QProgressBar*>(controls_.Find(IDC_PROGRESS_BAR)))
        bar->setValue(lines.permille);
    if (!isHidden())
        return;
    show();
    // The window system shows a window only after a round trip. Waiting for it
    // here lets the caller's next pass paint it now: at the next report, which
    // may be a while away, the user would have seen an empty frame.
    for (QDeadlineTimer shown(100); !windowHandle()->isExposed() && !shown.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

}  // namespace pelmo
