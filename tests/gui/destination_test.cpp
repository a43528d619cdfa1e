// The destination dialog: the proposed folder, walking drives and folders by mouse
// and keys, and the current folders it puts back on every way out.
#include <QPlainTextEdit>

#include "tests/gui/gui_support.h"
#include "wizard/destination_dlg.h"
#include "wizard/list_box.h"

namespace fs = std::filesystem;

namespace pelmo::test {

ListBox* Drives(QWidget* dialog) { return Control<ListBox>(dialog, 1002); }
ListBox* Folders(QWidget* dialog) { return Control<ListBox>(dialog, 1003); }
QString Edit(QWidget* dialog) { return Control<QLineEdit>(dialog, 1005)->text(); }
QString Entries(ListBox* list)  // a long list by its length
{
    QStringList entries;
    for (int row = 0; row < list->count(); ++row)
        entries << list->item(row)->text();
    return list->count() > 20 ? QString::number(list->count()) : entries.join(' ');
}
void ClickEntry(ListBox* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << "no entry " << text.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
}

class DestinationTest : public GuiTest {
protected:
    DestinationTest()
    {
        fs::create_directories(machineFolder.folder() / "dosdevices");  // A: is a floppy drive without a disk
        fs::create_symlink(machineFolder.folder() / "no-disk", machineFolder.folder() / "dosdevices" / "a:");
        fs::create_directories(driveD / "App" / "SUB");
        fs::create_directories(driveD / "some" / "dir");
        WriteHostFile(driveD / "readme.txt", "not a folder");
    }
    int Show(Step step)
    {
        CDestinationDlg dialog(Context(), nullptr);
        dialog.productKeys = {"Gone", "Pelmo Test", "NULL", "", ""};
        dialog.installFolder = "C:\\KORIMU";
        dialog.destinationNotes = Sjis("注意\r\nです");
        ScriptedUser user({step});
        const int code = dialog.DoModal();
        installFolder = dialog.installFolder;
        return code;
    }
    fs::path driveD = machineFolder.AddDrive('d');
    std::string installFolder;
};

TEST_F(DestinationTest, OpensOnTheUninstallFolderThenWalksDrivesAndFoldersShowingFullPathsAsTheDiskSpellsThem)
{
    machineFolder.SetRegistry("WINE REGISTRY Version 2\n#arch=win32\n\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion"
                              "\\\\Uninstall\\\\Pelmo Test] 1\n\"UninstallString\"=\"A.EXE -fD:\\\\APP\\\\LOG.DAT -c1\"\n");
    const QString name = "長い名前のフォルダ長い名前のフォルダ長い名前のフォルダ長い名前";  // 62 bytes
    const QString deep = "D:\\some\\" + name + "\\" + name;
    fs::create_directories(driveD / deep.mid(3).replace('\\', '/').toStdString());
    for (int i = 0; i < 1100; ++i)
        fs::create_directories(driveD / "App" / ("f" + std::to_string(10000 + i)));
    auto walk = [&](QWidget* dialog) {
        EXPECT_EQ(Entries(Drives(dialog)), "[-a-] [-c-] [-d-]");
        EXPECT_EQ(Drives(dialog)->GetCurSel(), -1);
        EXPECT_EQ(Folders(dialog)->count(), 0);
        EXPECT_EQ(Edit(dialog), "D:\\APP") << "the first Uninstall key that opens names it";
        EXPECT_EQ(Control<QPlainTextEdit>(dialog, 1006)->toPlainText(), "注意\nです");
        EXPECT_EQ(dialog->focusWidget()->objectName(), "control1");
        const QString root = "[..] [App] [some]", some = "[..] [dir] [" + name + "]";
        const std::tuple<ListBox*, QString, QString, QString> actions[] = {  // list, entry or key, shown, folders
            {Drives(dialog), "[-a-]", "a:\\", "[..]"},  // no disk: its root all the same
            {Drives(dialog), "[-d-]", "d:\\", root},
            {Folders(dialog), "[some]", "D:\\some", some},
            {Folders(dialog), "[..]", "D:\\", root},
            {Folders(dialog), "[..]", "D:\\", root},  // at the root it stays there
            {Drives(dialog), "Up", "c:\\", "[..] [PKG] [windows]"},
            {Drives(dialog), "Down", "d:\\", root},
            {Folders(dialog), "Down", "D:\\App", "1102"},
            {Folders(dialog), "Up", "D:\\", root},
            {Folders(dialog), "End", "D:\\some", some},
            {Folders(dialog), "[" + name + "]", "D:\\some\\" + name, "[..] [" + name + "]"},
            {Folders(dialog), "[" + name + "]", deep, "[..]"},
            {Folders(dialog), "[..]", "D:\\some\\" + name, "[..] [" + name + "]"},
            {Folders(dialog), "[..]", "D:\\some", some},
        };
        for (const auto& [list, action, shown, folders] : actions) {
            SCOPED_TRACE(shown.toStdString());
            list->setFocus();
            action.startsWith('[') ? ClickEntry(list, action) : QTest::keyClick(list, QKeySequence(action)[0].key());
            EXPECT_EQ(Edit(dialog), shown);
            EXPECT_EQ(Entries(Folders(dialog)), folders);
        }
        EXPECT_EQ(Folders(dialog)->GetCurSel(), -1) << "filling selects nothing";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass ends with the fill";
        fs::remove_all(driveD / "some" / "dir");
        ClickEntry(Folders(dialog), "[dir]");
        EXPECT_EQ(Edit(dialog), "D:\\some") << "a folder that cannot be entered";
        EXPECT_EQ(Entries(Folders(dialog)), "[..] [" + name + "]");
        ClickEntry(Folders(dialog), "[" + name + "]");
        ClickEntry(Folders(dialog), "[" + name + "]");
    };
    Show(Inspect(walk, Click(1)));
    EXPECT_EQ(installFolder, Sjis(deep.toStdString()));
}

TEST_F(DestinationTest, EveryWayOutPutsBackTheCurrentDriveAndEveryFolder)
{
    const std::tuple<const char*, Step, int, std::string> rows[] = {  // typed, step, code, folder handed back
        {nullptr, Click(1), 1, "D:\\App\\SUB"},
        {nullptr, Key(Qt::Key_Return), 1, "D:\\App\\SUB"},
        {"  E:\\どこか\\ ", Click(1), 1, Sjis("  E:\\どこか\\ ")},  // unchecked
        {"", Click(1), 1, ""},
        {nullptr, Click(1008), 1008, "C:\\KORIMU"},
        {nullptr, Key(Qt::Key_Escape), 2, "C:\\KORIMU"},
    };
    for (const auto& [typed, step, code, folder] : rows) {
        SCOPED_TRACE(code);
        Machine& drives = Context().machine;
        ASSERT_EQ(drives.ChDir("D:\\some\\dir") + drives.ChDir("C:\\PKG"), 0);
        auto walk = [&](QWidget* dialog) {
            ClickEntry(Drives(dialog), "[-d-]");
            ClickEntry(Folders(dialog), "[App]");
            ClickEntry(Folders(dialog), "[SUB]");
            if (typed)
                Control<QLineEdit>(dialog, 1005)->setText(typed);
        };
        EXPECT_EQ(Show(Inspect(walk, step)), code);
        EXPECT_EQ(installFolder, folder);
        EXPECT_EQ(drives.GetDrive(), 3);
        EXPECT_EQ(drives.GetDriveCwd(3), "C:\\PKG");
        EXPECT_EQ(drives.GetDriveCwd(4), "D:\\some\\dir");
    }
}

}  // namespace pelmo::test
