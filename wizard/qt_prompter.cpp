// The engine's Prompter in the wizard.
#include "wizard/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "res/strings.h"
#include "wizard/display_text.h"

namespace pelmo {

int QtPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    QMessageBox box(owner_);
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(ToDisplay(caption));
    box.setText(ToDisplay(text));
    QPushButton* ok = box.addButton(ToDisplay(GetText(Text::ButtonOk)), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == MB_OKCANCEL)
        cancel = box.addButton(ToDisplay(GetText(Text::ButtonCancel)), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);

    // The hourglass belongs to the run, not to the box the user must answer.
    const int depth = busyDepth_;
    for (int i = 0; i < depth; ++i)
        QApplication::restoreOverrideCursor();
    box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);

    if (!cancel)
        return IDOK;
    return box.clickedButton() == ok ? IDOK : IDCANCEL;
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
}

}  // namespace pelmo
