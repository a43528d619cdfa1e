// Keeping the wizard's windows where the user can see them.
#include "wizard/window_placement.h"

#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

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

class Centring : public QObject {
public:
    Centring(QWidget& window, const QRect& area) : QObject(&window), window_(window) { CentreIn(area); }

    void CentreIn(const QRect& area)
    {
        area_ = area;
        frame_ = window_.frameGeometry().size();
        // For a window, move() places the frame, caption bar included.
        window_.move(CentredIn(area_, frame_));
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The window manager's frame is known only once the window is on the
        // screen, and a message box takes its size only as it shows.
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
            window_.frameGeometry().size() != frame_)
            CentreIn(area_);
        return false;
    }

private:
    QWidget& window_;
    QRect area_;
    QSize frame_;
};

class StateKeeper : public QObject {
public:
    StateKeeper(QWidget& window, Qt::WindowStates wanted) : QObject(&window), window_(window), wanted_(wanted) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::WindowStateChange)
            return false;
        const Qt::WindowStates now = window_.windowState();
        const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        // Only a change made from outside is undone: a window manager that never
        // grants `wanted` must not be asked again and again.
        const bool minimised = (now & Qt::WindowMinimized) && !(before & Qt::WindowMinimized);
        const bool lost = (before & wanted_) == wanted_ && (now & wanted_) != wanted_;
        if (minimised || lost)
            QTimer::singleShot(0, this, [this] {
                window_.setWindowState(wanted_);
                window_.activateWindow();
            });
        return false;
    }

private:
    QWidget& window_;
    const Qt::WindowStates wanted_;
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

void KeepCentred(QWidget& window, const QRect& area)
{
    auto* centring = new Centring(window, area);
    window.installEventFilter(centring);
    FollowScreen(window, [centring](const QRect& screenArea) { centring->CentreIn(screenArea); });
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
    if (QScreen* screen = window.screen())
        QObject::connect(screen, &QScreen::availableGeometryChanged, &window, std::move(place));
}

void KeepWindowState(QWidget& window, Qt::WindowStates wanted)
{
    window.installEventFilter(new StateKeeper(window, wanted));
}

}  // namespace pelmo
