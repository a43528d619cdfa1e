// Keeping the wizard's windows where the user can see them.
#include "wizard/window_placement.h"

#include <QWindowStateChangeEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace pelmo {

namespace {

// The platform replaces an empty title with the application's name; a blank one
// reaches the window manager as it is and shows as no caption.
class BlankCaption : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if ((event->type() == QEvent::Show || event->type() == QEvent::WindowTitleChange) &&
            window->windowTitle().isEmpty() && window->windowHandle())
            window->windowHandle()->setTitle(QStringLiteral(" "));
        return false;
    }
};

}  // namespace

void KeepEmptyCaptions(QWidget& window)
{
    window.installEventFilter(new BlankCaption(&window));
}

QPoint CentredIn(const QRect& area, const QSize& frameSize)
{
    return area.topLeft() + QPoint((area.width() - frameSize.width()) / 2, (area.height() - frameSize.height()) / 2);
}

void CentreIn(QWidget& window, const QRect& area)
{
    // For a window, move() places the frame, caption bar included.
    window.move(CentredIn(area, window.frameGeometry().size()));
}

void Fill(QWidget& window, const QRect& area)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins border(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                          frame.bottom() - client.bottom());
    window.setGeometry(area.marginsRemoved(border));
}

void FollowScreen(QWidget& window, std::function<void(const QRect& area)> place)
{
    QScreen* screen = window.screen();
    if (!screen)
        return;
    QObject::connect(screen, &QScreen::availableGeometryChanged, &window, std::move(place));
}

void KeepWindowState(QWidget& window, const QEvent* event, Qt::WindowStates wanted)
{
    if (event->type() != QEvent::WindowStateChange)
        return;
    const Qt::WindowStates now = window.windowState();
    const Qt::WindowStates before = static_cast<const QWindowStateChangeEvent*>(event)->oldState();
    // Only a change made from outside is undone: a window manager that never
    // grants `wanted` must not be asked again and again.
    const bool minimised = (now & Qt::WindowMinimized) && !(before & Qt::WindowMinimized);
    const bool lost = (before & wanted) == wanted && (now & wanted) != wanted;
    if (!minimised && !lost)
        return;
    QTimer::singleShot(0, &window, [&window, wanted] {
        window.setWindowState(wanted);
        window.activateWindow();
    });
}

}  // namespace pelmo
