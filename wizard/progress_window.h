// The small window over the main picture that shows how far the run has got.
#pragma once

#include <QDialog>

#include "upgrade/progress_display.h"
#include "wizard/dialog_builder.h"

namespace pelmo {

// Built from template 134: what is being done, how many of how many, and a bar.
// It takes neither the focus nor any input, and stays centred on its owner.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* owner);

    // Shows the lines (code page 932), the window too when it is hidden.
    void Show(const ProgressLines& lines);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DialogControls controls_;
};

}  // namespace pelmo
