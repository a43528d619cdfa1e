// The dialog measurements of the package check, taken with Qt's font metrics.
#pragma once

#include <QtGlobal>
#include <memory>

#include "upgrade/check/dialog_measure.h"

class QGuiApplication;

namespace pelmo {

// Lays out text as the wizard's dialogs do, in the template font (IPAPGothic for
// "ＭＳ Ｐゴシック") at 96 dots per inch. Needs no display: without an application
// object it makes one on Qt's offscreen platform.
class QtDialogMeasure : public DialogMeasure {
public:
    QtDialogMeasure();
    ~QtDialogMeasure() override;

    PixelSize ControlSize(int dialogId, int controlId) const override;
    Fit NotesLines(int dialogId, std::string_view utf8) const override;
    Fit LineWidth(int dialogId, int controlId, std::string_view utf8) const override;

private:
    std::unique_ptr<QGuiApplication> application_;  // only when there was none
    QtMessageHandler previousHandler_ = nullptr;
};

}  // namespace pelmo
