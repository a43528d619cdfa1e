// Drawing of .bmp pictures, stretched over a rectangle, and the dialogs' picture frame.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include <string_view>

#include "picture/dib_file.h"
#include "platform/machine.h"

namespace pelmo {

// The picture of a loaded block as an image, top row first. A null image when the
// block holds nothing the drawing can show: a compressed picture, an empty one, or
// pixel data shorter than its rows.
QImage DibImage(const DibBlock& block);

// Loads the picture at `path` (Windows form, code page 932) afresh and paints it
// over `target`, stretched to its width and height independently. 1 when the
// picture was loaded (even if it holds nothing to show), 0 when it could not be.
int DrawDibFile(QPainter& painter, const QRect& target, const Machine& machine, std::string_view path);

// Paints the picture frame (control 1007): its black frame, then the picture over
// its whole client rectangle `frame`. Where the picture cannot be loaded the frame
// stays. The result of DrawDibFile.
int PaintPictureFrame(QPainter& painter, const QRect& frame, const Machine& machine, std::string_view path);

}  // namespace pelmo
