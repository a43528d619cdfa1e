// CStartDlg: the first page of the wizard (template 132), notes and picture.
#pragma once

#include <string>

#include "wizard/template_dialog.h"
#include "wizard/wizard_context.h"

namespace pelmo {

// Ends with 1 from 開始 or Enter, 2 from 取消 or Escape.
class CStartDlg : public TemplateDialog {
    Q_OBJECT
public:
    CStartDlg(const WizardContext& context, QWidget* parent);

    std::string startNotes;
    std::string startPicture;
    std::string masterAdjustFlag;

protected:
    bool OnInitDialog() override;

private:
    const WizardContext& context_;
};

}  // namespace pelmo
