// CConfirmDlg: the last page of the wizard (template 133), the folder to update.
#pragma once

#include <string>

#include "wizard/template_dialog.h"
#include "wizard/wizard_context.h"

namespace pelmo {

// Ends with 1 from 更新 or Enter, 2 from 戻る or Escape.
class CConfirmDlg : public TemplateDialog {
    Q_OBJECT
public:
    CConfirmDlg(const WizardContext& context, QWidget* parent);

    std::string installFolder;
    std::string confirmPicture;

protected:
    bool OnInitDialog() override;

private:
    const WizardContext& context_;
};

}  // namespace pelmo
