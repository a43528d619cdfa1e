// Turns a dialog template into widgets: dialog units to pixels, tab order, default button.
#pragma once

#include <QFont>
#include <QRect>
#include <map>

#include "res/dialog_templates.h"

class QDialog;
class QWidget;

namespace pelmo {

// The dialog font's average character width and height, as Windows measures them.
struct DialogBaseUnits {
    int width = 0;
    int height = 0;
};

// The template's font: "ＭＳ Ｐゴシック" is drawn with IPAPGothic, at the pixel
// height Windows derives from the point size and the screen's dots per inch, less
// a pixel or two where IPAPGothic's line would be taller than the original's.
QFont DialogFont(const DialogTemplate& dialog, int dotsPerInch);
QFont DialogFont(const char* fontName, int pointSize, int dotsPerInch);
// Width of "A".."Z" "a".."z" divided by 52, rounded; height of the font.
DialogBaseUnits MeasureBaseUnits(const QFont& font);
// The base units Windows gives the template's font: for "ＭＳ Ｐゴシック" its own
// (6 × 12 at 9 points and 8 × 15 at 11 points, 96 dots per inch), which its
// substitute would not give (IPAPGothic's Latin letters are wider and its lines
// taller); any other font as measured.
DialogBaseUnits BaseUnits(const DialogTemplate& dialog, int dotsPerInch);
// Each of x, y, width and height scaled on its own, rounded as MulDiv rounds.
QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);

// The controls of a built dialog by id; controls that share an id (the static
// texts) are not kept.
class DialogControls {
public:
    QWidget* Find(int id) const;
    void Add(int id, QWidget* widget);

private:
    std::map<int, QWidget*> byId_;
};

// Builds `dialog` from `templ`: caption, font, fixed client size, and the
// controls at their places, in tab order. The black frame becomes a PictureFrame.
DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& templ);

}  // namespace pelmo
