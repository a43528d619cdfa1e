// What the window system does with the wizard's windows besides showing what
// they paint: the title-bar actions it offers, the colour it clears them to.
#pragma once

class QColor;
class QImage;
class QWidget;

namespace pelmo {

enum class WindowKind {
    Dialog,    // a dialog or message box: moved, closed as its cancel; never minimised or maximised
    Progress,  // the run's progress window: moved, nothing else
};

// Tells the window manager which of its title-bar actions the window answers.
// Qt's window flags say it in the Motif hints, which some window managers take
// for the frame's buttons only (openbox still offers minimise and close from its
// menu and keys); the window's type says it to them as well, with the dialog
// type after it for the window managers that know no other. Call after the
// window's flags are final: setting flags writes the type again.
void OfferOnly(QWidget& window, WindowKind kind);

// Until the program has painted the window, the window system shows it in
// `colour` instead of black (or whatever was on the screen there).
void ClearTo(QWidget& window, const QColor& colour);
// The same with a picture of the window (in device pixels, from its top-left
// corner), so that its first frame on the screen is already what it shows.
void ClearTo(QWidget& window, const QImage& picture);

}  // namespace pelmo
