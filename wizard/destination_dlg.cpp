// CDestinationDlg: finds the installed folder through the Uninstall entry or by drive and folder lists.
#include "wizard/destination_dlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/files.h"
#include "res/strings.h"
#include "upgrade/uninstall_entry.h"
#include "wizard/display_text.h"
#include "wizard/list_box.h"
#include "wizard/picture_frame.h"

namespace pelmo {
namespace {

// The letter of a drive entry "[-c-]".
char DriveLetter(const std::string& driveEntry)
{
    return driveEntry.size() > 2 ? driveEntry[2] : '\0';
}

// The hourglass while a folder list fills.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CDestinationDlg::CDestinationDlg(WizardContext& context, QWidget* parent)
    : TemplateDialog(IDD_DESTINATION, parent),
      context_(context),
      folderList(Item<ListBox>(IDC_FOLDER_LIST)),
      driveList(Item<ListBox>(IDC_DRIVE_LIST)),
      folderEdit_(Item<QLineEdit>(IDC_FOLDER_EDIT))
{
    if (driveList)
        connect(driveList, &ListBox::selChange, this, &CDestinationDlg::OnSelchangeDriveList);
    if (folderList) {
        connect(folderList, &ListBox::selChange, this, &CDestinationDlg::OnSelchangeFolderList);
        connect(folderList, &ListBox::dblClk, this, &CDestinationDlg::OnDblclkFolderList);
    }
    if (auto* back = Item<QPushButton>(IDC_BACK))
        connect(back, &QPushButton::clicked, this, &CDestinationDlg::OnBack);
}

bool CDestinationDlg::OnInitDialog()
{
    if (!folderList || !driveList || !folderEdit_)
        return true;
    SaveCurrentFolders();
    context_.machine.ChDir("\\");
    for (const std::string& drive : context_.machine.DriveList())
        driveList->AddEntry(drive);
    folderEdit_->setText(ToDisplay(installFolder));
    if (auto* notes = Item<QPlainTextEdit>(IDC_NOTES))
        notes->setPlainText(NotesToDisplay(destinationNotes));
    if (auto* picture = Item<PictureFrame>(IDC_PICTURE))
        picture->SetPicture(context_.machine, context_.sourceFolder + destinationPicture);
    FindUninstallFolder();
    return true;
}

void CDestinationDlg::FindUninstallFolder()
{
    if (auto folder = pelmo::FindUninstallFolder(context_.machine.registry(), productKeys))
        folderEdit_->setText(ToDisplay(*folder));
}

void CDestinationDlg::OnSelchangeDriveList()
{
    const int selected = driveList->GetCurSel();
    if (selected < 0)
        return;
    const std::string driveEntry = driveList->GetEntry(selected);
    const std::string root = std::string(1, DriveLetter(driveEntry)) + ":\\";
    // A drive without a disk cannot be made current; its root is shown all the same.
    context_.machine.ChDir(root);
    folderEdit_->setText(ToDisplay(root));
    FillFolderList(driveEntry, "\\" + GetText(Text::AllFilesPattern));
}

void CDestinationDlg::OnSelchangeFolderList()
{
    OnDblclkFolderList();
}

void CDestinationDlg::OnDblclkFolderList()
{
    const int drive = driveList->GetCurSel();
    const int folder = folderList->GetCurSel();
    if (drive < 0 || folder < 0)
        return;
    const std::string driveEntry = driveList->GetEntry(drive);
    const std::string folderEntry = folderList->GetEntry(folder);
    std::string name = folderEntry;
    if (!name.empty() && name.front() == '[')
        name = name.size() >= 2 ? name.substr(1, name.size() - 2) : std::string();
    // Relative to the drive's current folder, so [..] climbs one level.
    const std::string target = std::string(1, DriveLetter(driveEntry)) + ":" + name;
    context_.machine.ChDir(target);
    folderEdit_->setText(ToDisplay(context_.machine.GetCwd()));
    FillFolderList(driveEntry, ".\\" + GetText(Text::AllFilesPattern));
}

void CDestinationDlg::FillFolderList(const std::string& driveEntry, const std::string& pattern)
{
    folderList->ResetContent();
    const std::string searchPath = std::string(1, DriveLetter(driveEntry)) + ":" + pattern;
    WaitCursor wait;
    for (const std::string& name : ListSubfolders(searchPath))
        folderList->AddEntry("[" + name + "]");
}

std::vector<std::string> CDestinationDlg::ListSubfolders(const std::string& searchPath) const
{
    std::vector<std::string> names{".."};
    for (const FoundFile& found : FindFiles(DiskView(context_.machine), searchPath)) {
        if (found.isFolder && found.name != "." && found.name != "..")
            names.push_back(found.name);
    }
    return names;
}

void CDestinationDlg::OnOK()
{
    installFolder = FromDisplay(folderEdit_ ? folderEdit_->text() : QString());
    RestoreCurrentFolders();
    EndDialog(kEndOk);
}

void CDestinationDlg::OnCancel()
{
    RestoreCurrentFolders();
    EndDialog(kEndCancel);
}

void CDestinationDlg::OnBack()
{
    RestoreCurrentFolders();
    EndDialog(kEndBack);
}

void CDestinationDlg::SaveCurrentFolders()
{
    savedDrive = context_.machine.GetDrive();
    savedFolders_.clear();
    for (int drive : context_.machine.Drives())
        savedFolders_.emplace_back(drive, context_.machine.GetDriveCwd(drive));
}

// Later steps name package files relative to a drive's current folder (SourceFolder
// may be "A:"), so every folder the lists made current is put back.
void CDestinationDlg::RestoreCurrentFolders()
{
    if (savedDrive == 0)
        return;
    for (const auto& [drive, folder] : savedFolders_) {
        if (context_.machine.GetDriveCwd(drive) != folder)
            context_.machine.ChDir(folder);
    }
    context_.machine.ChDrive(savedDrive);
}

}  // namespace pelmo
