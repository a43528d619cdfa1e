// CStartDlg: the first page of the wizard.
#include "wizard/start_dlg.h"

#include <QPlainTextEdit>

#include "platform/runtime.h"
#include "res/strings.h"
#include "wizard/display_text.h"
#include "wizard/picture_frame.h"

namespace pelmo {

CStartDlg::CStartDlg(const WizardContext& context, QWidget* parent)
    : TemplateDialog(IDD_START, parent),
      context_(context)
{
}

bool CStartDlg::OnInitDialog()
{
    // The template's caption names the master adjustment; a package without it
    // is a plain update.
    if (Atoi(masterAdjustFlag) == 0)
        setWindowTitle(ToDisplay(GetText(Text::CaptionUpdate)));
    if (auto* notes = Item<QPlainTextEdit>(IDC_NOTES))
        notes->setPlainText(NotesToDisplay(startNotes));
    if (auto* picture = Item<PictureFrame>(IDC_PICTURE))
        picture->SetPicture(context_.machine, context_.sourceFolder + startPicture);
    return true;
}

}  // namespace pelmo
