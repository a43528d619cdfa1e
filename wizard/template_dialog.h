// A modal dialog built from a dialog template, with the end codes of a Windows dialog.
#pragma once

#include <QDialog>

#include "wizard/dialog_builder.h"

namespace pelmo {

constexpr int kEndOk = 1;       // IDOK
constexpr int kEndCancel = 2;   // IDCANCEL
constexpr int kEndBack = 1008;  // the back button's id
constexpr int kEndCannotShow = -1;

// Enter presses the default button, button 1 runs OnOK, button 2 and Escape run
// OnCancel. The caption bar has a close box only when the template asks for one.
// The dialog stays centred on a screen that changes its size and is never left
// minimised.
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    // Builds the widgets, initialises them (OnInitDialog) and runs the dialog.
    // The end code, or -1 when the dialog cannot be shown.
    int DoModal();

protected:
    TemplateDialog(int templateId, QWidget* parent);

    // Fills the controls before the dialog shows. True gives the focus to the first
    // tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(kEndOk); }
    virtual void OnCancel() { EndDialog(kEndCancel); }
    void EndDialog(int code) { done(code); }

    QWidget* GetDlgItem(int id) const { return controls_.Find(id); }
    template <class Widget>
    Widget* Item(int id) const
    {
        return qobject_cast<Widget*>(GetDlgItem(id));
    }

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    void FocusFirstTabStop();

    const DialogTemplate* template_;
    DialogControls controls_;
};

}  // namespace pelmo
