// CConfirmDlg: the last page of the wizard.
#include "wizard/confirm_dlg.h"

#include <QLabel>

#include "wizard/display_text.h"
#include "wizard/picture_frame.h"

namespace pelmo {

CConfirmDlg::CConfirmDlg(const WizardContext& context, QWidget* parent)
    : TemplateDialog(IDD_CONFIRM, parent),
      context_(context)
{
}

bool CConfirmDlg::OnInitDialog()
{
    // The folder exactly as the destination dialog handed it back.
    if (auto* folder = Item<QLabel>(IDC_NOTES)) {
        folder->setText(ToDisplay(installFolder));
        // A long path is cut by the box; its tip shows it whole.
        folder->setToolTip(folder->text());
    }
    if (auto* picture = Item<PictureFrame>(IDC_PICTURE))
        picture->SetPicture(context_.machine, context_.sourceFolder + confirmPicture);
    return true;
}

}  // namespace pelmo
