// The engine's Prompter in the wizard.
#include "wizard/qt_prompter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "res/dialog_templates.h"
#include "res/strings.h"
#include "wizard/dialog_builder.h"
#include "wizard/display_text.h"
#include "wizard/message_box.h"
#include "wizard/progress_window.h"
#include "wizard/window_kind.h"
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

    // One font for all of the box, Latin letters and digits included.
    const QFont font = DialogFont(kDialogFontName, kMessagePointSize, owner_ ? owner_->logicalDpiY() : 96);
    QStringList captions{ToDisplay(GetText(Text::ButtonOk))};
    if (buttons == MB_OKCANCEL)
        captions << ToDisplay(GetText(Text::ButtonCancel));
    QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    // Escape answers Cancel, or OK when that is the only button.
    MessageBoxDialog box(owner_, font, ToDisplay(caption), ToDisplay(text), captions, int(captions.size()) - 1,
                         screen ? screen->geometry().width() : 640);
    // Centred on its owner, which fills the screen; the box then moves as the
    // screen changes and is never left minimised.
    QWidget* over = owner_ ? owner_->window() : nullptr;
    KeepEmptyCaptions(box);
    KeepCentred(box, over ? over->frameGeometry() : screen ? screen->availableGeometry() : QRect());
    KeepWindowState(box, Qt::WindowNoState);
    OfferOnly(box, WindowKind::Dialog);
    ClearTo(box, box.palette().color(QPalette::Window));

    // The hourglass belongs to the run, not to the box the user must answer.
    const int depth = busyDepth_;
    for (int i = 0; i < depth; ++i)
        QApplication::restoreOverrideCursor();
    box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);

    return box.answer() == 1 ? IDCANCEL : IDOK;
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
