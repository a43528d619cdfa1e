// The engine's Prompter in the wizard.
#include "wizard/qt_prompter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "res/dialog_templates.h"
#include "res/strings.h"
#include "wizard/button_style.h"
#include "wizard/dialog_builder.h"
#include "wizard/display_text.h"
#include "wizard/progress_window.h"
#include "wizard/window_placement.h"

namespace pelmo {

namespace {

constexpr int kMessagePointSize = 9;  // the system's message boxes

}  // namespace

QtPrompter::QtPrompter(QWidget* owner, ProgressPace::Clock clock) : owner_(owner), pace_(std::move(clock))
{
}

QtPrompter::~QtPrompter() = default;

int QtPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    // The box is centred where the progress window stands; the window comes back
    // with the run's next report.
    if (progressWindow_)
        progressWindow_->hide();

    QMessageBox box(owner_);
    // One font for all of the box, Latin letters and digits included.
    box.setFont(DialogFont(kDialogFontName, kMessagePointSize, box.logicalDpiY()));
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(ToDisplay(caption));
    box.setText(ToDisplay(text));
    QPushButton* ok = box.addButton(ToDisplay(GetText(Text::ButtonOk)), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == MB_OKCANCEL)
        cancel = box.addButton(ToDisplay(GetText(Text::ButtonCancel)), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    UseButtonStyle(*ok);
    if (cancel)
        UseButtonStyle(*cancel);
    if (auto* row = box.findChild<QDialogButtonBox*>())
        row->setCenterButtons(true);
    // Centred on its owner, which fills the screen; the box then moves as the
    // screen changes and is never left minimised.
    QWidget* over = owner_ ? owner_->window() : nullptr;
    KeepCentred(box, over ? over->frameGeometry() : box.screen()->availableGeometry());
    KeepWindowState(box, Qt::WindowNoState);

    // The hourglass belongs to the run, not to the box the user must answer.
    const int depth = busyDepth_;
    for (int i = 0; i < depth; ++i)
        QApplication::restoreOverrideCursor();
    box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);

    if (!cancel)
        return IDOK;
    return box.clickedButton() == ok ? IDOK : IDCANCEL;
}

void QtPrompter::BeginBusy()
{
    ++busyDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPrompter::EndBusy()
{
    if (busyDepth_ == 0)
        return;
    --busyDepth_;
    QApplication::restoreOverrideCursor();
    if (busyDepth_ == 0) {
        progressWindow_.reset();
        pace_.Restart();
    }
}

void QtPrompter::Progress(const RunProgress& progress)
{
    if (!pace_.Due())
        return;
    if (pace_.showing()) {
        if (!progressWindow_)
            progressWindow_ = std::make_unique<ProgressWindow>(owner_);
        progressWindow_->Show(DescribeProgress(progress));
    }
    // Paints and timers only: input stays queued for the window it was meant
    // for, which the next message box blocks.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace pelmo
