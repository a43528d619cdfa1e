// The picture frame of a wizard dialog.
#include "wizard/picture_frame.h"

#include <QPainter>

#include "picture/dib_draw.h"

namespace pelmo {

PictureFrame::PictureFrame(QWidget* parent) : QWidget(parent)
{
}

void PictureFrame::SetPicture(const Machine& machine, std::string path)
{
    machine_ = &machine;
    path_ = std::move(path);
    update();
}

void PictureFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (machine_) {
        PaintPictureFrame(painter, rect(), *machine_, path_);
        return;
    }
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace pelmo
