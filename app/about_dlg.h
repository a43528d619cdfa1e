// CAboutDlg: the About box (template 100), shown by the application's About command.
#pragma once

#include "wizard/template_dialog.h"

namespace pelmo {

class CAboutDlg : public TemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace pelmo
