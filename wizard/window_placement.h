// Keeping the wizard's windows where the user can see them, whatever the window
// manager and the screen do: captions, centring, the screen's size, minimising.
#pragma once

#include <QRect>
#include <functional>

class QWidget;

namespace pelmo {

// From now on an empty caption of the window stays empty on the screen too (Qt
// would hand the window system the program's name instead). Once per window.
void KeepEmptyCaptions(QWidget& window);

// The top-left corner of a frame of `frameSize` centred in `area`.
QPoint CentredIn(const QRect& area, const QSize& frameSize);

// Centres the window's frame in `area` now, again once the window manager has
// framed it, and in the screen's new available area whenever the screen changes
// its size. Once per window.
void KeepCentred(QWidget& window, const QRect& area);

// Places the window's frame over the whole of `area`.
void Fill(QWidget& window, const QRect& area);

// Calls `place` with the screen's available area whenever the screen that
// `window` is on changes its size, for as long as the window lives.
void FollowScreen(QWidget& window, std::function<void(const QRect& area)> place);

// For a window that offers no minimise button: when a window manager minimises
// it anyway (or undoes its `wanted` state), puts it back. Minimising a modal
// window would otherwise hide the whole program, and on a screen without a task
// bar there is no way back. Once per window.
void KeepWindowState(QWidget& window, Qt::WindowStates wanted);

}  // namespace pelmo
