// CDestinationDlg: the wizard's page that finds and chooses the installed folder (template 130).
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "wizard/template_dialog.h"
#include "wizard/wizard_context.h"

class QLineEdit;

namespace pelmo {

class ListBox;

// Ends with 1 from 次へ or Enter (installFolder := the edit box), 1008 from 戻る and
// 2 from Escape. While open it changes the machine's current drive and folders;
// whatever way it closes, it puts every one of them back.
class CDestinationDlg : public TemplateDialog {
    Q_OBJECT
public:
    CDestinationDlg(WizardContext& context, QWidget* parent);

    std::string installFolder;
    std::string destinationNotes;
    std::string destinationPicture;
    std::array<std::string, 5> productKeys;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnBack();
    void OnSelchangeDriveList();
    void OnSelchangeFolderList();
    void OnDblclkFolderList();
    void FindUninstallFolder();
    void FillFolderList(const std::string& driveEntry, const std::string& pattern);
    // ".." and then every subfolder that the search path finds, in search order.
    std::vector<std::string> ListSubfolders(const std::string& searchPath) const;
    void SaveCurrentFolders();
    void RestoreCurrentFolders();

    WizardContext& context_;
    ListBox* folderList;
    ListBox* driveList;
    QLineEdit* folderEdit_;
    int savedDrive = 0;
    std::vector<std::pair<int, std::string>> savedFolders_;  // drive, its current folder
};

}  // namespace pelmo
