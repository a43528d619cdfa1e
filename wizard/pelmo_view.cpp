// CPelmoView: the wizard's sequence of dialogs and the main picture.
#include "wizard/pelmo_view.h"

#include <QPainter>

#include "picture/dib_draw.h"
#include "upgrade/archive_library.h"
#include "upgrade/upgrade_run.h"
#include "wizard/confirm_dlg.h"
#include "wizard/destination_dlg.h"
#include "wizard/start_dlg.h"

namespace pelmo {

// In the order the commands are looked up.
const CommandEntry<CPelmoView> CPelmoView::kCommands[] = {
    {ID_WIZARD_START, &CPelmoView::OnWizardStart},
    {ID_WIZARD_DESTINATION, &CPelmoView::OnWizardDestination},
    {ID_WIZARD_CONFIRM, &CPelmoView::OnWizardConfirm},
};

std::span<const CommandEntry<CPelmoView>> CPelmoView::Commands()
{
    return kCommands;
}

CPelmoView::CPelmoView(WizardContext& context, QWidget* frame) : QWidget(frame), context_(context), prompter_(this)
{
    // Where no picture is drawn, the view shows the window colour.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

int CPelmoView::OnCreate()
{
    // Without info.txt the wizard runs all the same, with empty texts and no entries.
    LoadPackageInfo(context_.machine, context_.sourceFolder, info_);
    PostCommand(this, ID_WIZARD_START);
    return 0;
}

bool CPelmoView::event(QEvent* event)
{
    if (DispatchCommand(*this, Commands(), event))
        return true;
    return QWidget::event(event);
}

void CPelmoView::paintEvent(QPaintEvent*)
{
    OnPaint();
}

void CPelmoView::OnPaint()
{
    QPainter painter(this);
    DrawDibFile(painter, rect(), context_.machine, context_.sourceFolder + info_.mainPicture);
}

int CPelmoView::ShowDialog(TemplateDialog& dialog)
{
    return dialog.DoModal();
}

int CPelmoView::RunUpgrade()
{
    LhaComponent archive;
    // The destination dialog comes back only for a folder the run rejected.
    const RunOutcome outcome = pelmo::RunUpgrade(context_.machine, prompter_, archive, info_, context_.sourceFolder,
                                                 {.dryRun = false, .log = context_.log});
    context_.lastRun = outcome;
    return outcome == RunOutcome::FolderRejected ? 0 : 1;
}

void CPelmoView::OnWizardStart()
{
    CStartDlg dialog(context_, window());
    dialog.masterAdjustFlag = info_.masterAdjustFlag;
    dialog.startNotes = info_.startNotes;
    dialog.startPicture = info_.startPicture;
    if (ShowDialog(dialog) == kEndOk)
        PostCommand(this, ID_WIZARD_DESTINATION);
    else
        CloseFrame();
}

void CPelmoView::OnWizardDestination()
{
    CDestinationDlg dialog(context_, window());
    dialog.productKeys = info_.productKeys;
    dialog.destinationNotes = info_.destinationNotes;
    dialog.installFolder = info_.installFolder;
    dialog.destinationPicture = info_.destinationPicture;
    switch (ShowDialog(dialog)) {
    case kEndOk:
        info_.installFolder = dialog.installFolder;
        PostCommand(this, ID_WIZARD_CONFIRM);
        break;
    case kEndBack:
    case kEndCancel:
        // Escape is the only way to cancel this page, and the window offers no
        // other way on: it goes back like 戻る.
        PostCommand(this, ID_WIZARD_START);
        break;
    default:
        // A page that cannot be shown would leave the wizard with nothing to do.
        CloseFrame();
        break;
    }
}

void CPelmoView::OnWizardConfirm()
{
    CConfirmDlg dialog(context_, window());
    dialog.installFolder = info_.installFolder;
    dialog.confirmPicture = info_.confirmPicture;
    switch (ShowDialog(dialog)) {
    case kEndOk:
        if (RunUpgrade() == 1)
            CloseFrame();
        else
            PostCommand(this, ID_WIZARD_DESTINATION);
        break;
    case kEndCancel:
        PostCommand(this, ID_WIZARD_DESTINATION);
        break;
    default:
        CloseFrame();
        break;
    }
}

void CPelmoView::CloseFrame()
{
    PostCloseMessage(window());
}

}  // namespace pelmo
