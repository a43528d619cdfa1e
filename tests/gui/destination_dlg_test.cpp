// The destination dialog: the Uninstall look-up, drive and folder navigation, end codes,
// and the current folders it puts back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QtTest/QTest>

#include "tests/gui/gui_support.h"
#include "tests/support/test_machine.h"
#include "wizard/destination_dlg.h"
#include "wizard/display_text.h"
#include "wizard/list_box.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Click;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;
using test::Sjis;

constexpr const char* kRegistryHeader = "WINE REGISTRY Version 2\n#arch=win32\n\n";

std::string UninstallKey(const std::string& name, const std::string& values)
{
    return "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + name + "] 1\n" + values + "\n";
}

ListBox* Drives(QWidget* dialog) { return Control<ListBox>(dialog, 1002); }
ListBox* Folders(QWidget* dialog) { return Control<ListBox>(dialog, 1003); }
QString EditText(QWidget* dialog) { return Control<QLineEdit>(dialog, 1005)->text(); }

std::vector<QString> Entries(ListBox* list)
{
    std::vector<QString> entries;
    for (int row = 0; row < list->count(); ++row)
        entries.push_back(list->item(row)->text());
    return entries;
}

// Clicks the entry shown as `text`, as the user would.
void ClickEntry(ListBox* list, const QString& text)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == text) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
            return;
        }
    }
    ADD_FAILURE() << "no entry " << text.toStdString();
}

class DestinationDlgTest : public test::GuiTest {
protected:
    DestinationDlgTest()
    {
        driveD = machineFolder.AddDrive('d');
        fs::create_directories(driveD / "App" / "SUB");
        fs::create_directories(driveD / "some" / "dir");
        test::WriteHostFile(driveD / "readme.txt", "not a folder");
    }

    // Shows the dialog with `step` acting on it; the end code.
    int Show(ScriptedUser::Step step)
    {
        CDestinationDlg dialog(Context(), nullptr);
        dialog.productKeys = productKeys;
        dialog.installFolder = installFolder;
        dialog.destinationNotes = Sjis("注意");
        ScriptedUser user;
        user.Then(std::move(step));
        const int code = dialog.DoModal();
        EXPECT_FALSE(user.sawUnexpectedWindow());
        installFolder = dialog.installFolder;
        return code;
    }

    fs::path driveD;
    std::array<std::string, 5> productKeys{"Pelmo Test", "NULL", "", "", ""};
    std::string installFolder = "C:\\KORIMU";
};

TEST_F(DestinationDlgTest, OpensWithEveryDriveListedNothingSelectedAndTheProposedFolder)
{
    Show(Inspect(
        [](QWidget* dialog) {
            EXPECT_EQ(Entries(Drives(dialog)), (std::vector<QString>{"[-c-]", "[-d-]"}));
            EXPECT_EQ(Drives(dialog)->GetCurSel(), -1);
            EXPECT_EQ(Folders(dialog)->count(), 0);
            EXPECT_EQ(EditText(dialog), QStringLiteral("C:\\KORIMU"));
            EXPECT_EQ(dialog->focusWidget()->objectName(), QStringLiteral("control1"));
        },
        Click(1)));
}

struct UninstallRow {
    const char* name;
    std::array<std::string, 5> productKeys;
    std::string registry;
    const char* shown;
};

TEST_F(DestinationDlgTest, EditBoxShowsTheFolderOfTheFirstUninstallKeyThatOpens)
{
    const std::string command = "\"UninstallString\"=\"A.EXE -fD:\\\\APP\\\\SUB\\\\LOG.DAT -c1\"\n";
    const UninstallRow rows[] = {
        {"first key", {"Pelmo Test", "NULL", "", "", ""}, UninstallKey("Pelmo Test", command), "D:\\APP\\SUB"},
        {"second key when the first is missing", {"Gone", "Pelmo Test", "NULL", "", ""},
         UninstallKey("Pelmo Test", command), "D:\\APP\\SUB"},
        {"NULL first: no key is tried", {"NULL", "Pelmo Test", "", "", ""}, UninstallKey("Pelmo Test", command),
         "C:\\KORIMU"},
        {"first key without the value ends the search", {"Empty", "Pelmo Test", "NULL", "", ""},
         UninstallKey("Empty", "\"Other\"=\"x\"\n") + UninstallKey("Pelmo Test", command), "C:\\KORIMU"},
        {"no -f in the command", {"Pelmo Test", "NULL", "", "", ""},
         UninstallKey("Pelmo Test", "\"UninstallString\"=\"A.EXE /S\"\n"), "C:\\KORIMU"},
    };
    for (const UninstallRow& row : rows) {
        SCOPED_TRACE(row.name);
        machineFolder.SetRegistry(kRegistryHeader + row.registry);
        machine.reset();
        context.reset();
        productKeys = row.productKeys;
        installFolder = "C:\\KORIMU";
        QString shown;
        Show(Inspect([&](QWidget* dialog) { shown = EditText(dialog); }, Click(1008)));
        EXPECT_EQ(shown.toStdString(), row.shown);
    }
}

TEST_F(DestinationDlgTest, WalksFoldersShowingFullPathsAsTheDiskSpellsThem)
{
    Show(Inspect(
        [](QWidget* dialog) {
            ClickEntry(Drives(dialog), "[-d-]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("d:\\"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]", "[App]", "[some]"}));
            EXPECT_EQ(Folders(dialog)->GetCurSel(), -1) << "filling selects nothing";

            ClickEntry(Folders(dialog), "[App]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]", "[SUB]"}));

            ClickEntry(Folders(dialog), "[SUB]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App\\SUB"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]"}));

            ClickEntry(Folders(dialog), "[..]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App"));
            ClickEntry(Folders(dialog), "[..]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\"));
            // [..] at the root leaves the root current.
            ClickEntry(Folders(dialog), "[..]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]", "[App]", "[some]"}));
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor ends with the fill";
        },
        Click(1)));
    EXPECT_EQ(installFolder, "D:\\");
}

TEST_F(DestinationDlgTest, AFolderThatCannotBeEnteredKeepsTheCurrentFolder)
{
    Show(Inspect(
        [this](QWidget* dialog) {
            ClickEntry(Drives(dialog), "[-d-]");
            ClickEntry(Folders(dialog), "[some]");
            ASSERT_EQ(EditText(dialog), QStringLiteral("D:\\some"));
            fs::remove_all(driveD / "some" / "dir");
            ClickEntry(Folders(dialog), "[dir]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\some"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]"})) << "the list is rebuilt";
        },
        Click(1)));
}

TEST_F(DestinationDlgTest, ArrowKeysOpenEachFolderAndDriveTheyReach)
{
    Show(Inspect(
        [](QWidget* dialog) {
            ListBox* drives = Drives(dialog);
            ListBox* folders = Folders(dialog);
            drives->setFocus();
            QTest::keyClick(drives, Qt::Key_Down);
            EXPECT_EQ(EditText(dialog), QStringLiteral("d:\\"));
            QTest::keyClick(drives, Qt::Key_Up);
            EXPECT_EQ(EditText(dialog), QStringLiteral("c:\\"));
            QTest::keyClick(drives, Qt::Key_Down);

            folders->setFocus();
            QTest::keyClick(folders, Qt::Key_Down);
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App"));
            QTest::keyClick(folders, Qt::Key_Down);
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App\\SUB"));
            QTest::keyClick(folders, Qt::Key_Up);
            EXPECT_EQ(EditText(dialog), QStringLiteral("D:\\App"));
        },
        Key(Qt::Key_Escape)));
}

TEST_F(DestinationDlgTest, ADriveWithoutADiskShowsItsRootAndOnlyTheParentEntry)
{
    AddEmptyFloppy('a');
    Show(Inspect(
        [](QWidget* dialog) {
            ClickEntry(Drives(dialog), "[-a-]");
            EXPECT_EQ(EditText(dialog), QStringLiteral("a:\\"));
            EXPECT_EQ(Entries(Folders(dialog)), (std::vector<QString>{"[..]"}));
        },
        Click(1008)));
}

TEST_F(DestinationDlgTest, LongNamesAndPathsAreShownWholeAndEverySubfolderIsListed)
{
    const std::string longName = "長い名前のフォルダ長い名前のフォルダ長い名前のフォルダ長い名前";  // 62 bytes
    fs::create_directories(driveD / longName / longName / longName);
    for (int i = 0; i < 1100; ++i)
        fs::create_directories(driveD / "many" / ("f" + std::to_string(10000 + i)));
    const QString name = QString::fromStdString(longName);
    Show(Inspect(
        [&](QWidget* dialog) {
            ClickEntry(Drives(dialog), "[-d-]");
            ClickEntry(Folders(dialog), "[many]");
            EXPECT_EQ(Folders(dialog)->count(), 1101);
            ClickEntry(Folders(dialog), "[..]");
            ClickEntry(Folders(dialog), "[" + name + "]");
            ClickEntry(Folders(dialog), "[" + name + "]");
            ClickEntry(Folders(dialog), "[" + name + "]");
            EXPECT_EQ(EditText(dialog), "D:\\" + name + "\\" + name + "\\" + name);
        },
        Click(1)));
    EXPECT_EQ(installFolder, Sjis("D:\\" + longName + "\\" + longName + "\\" + longName));
    EXPECT_GT(installFolder.size(), 180u);
}

struct EndRow {
    const char* action;
    ScriptedUser::Step step;
    int code;
    const char* installFolder;
};

TEST_F(DestinationDlgTest, EveryWayOutPutsBackTheCurrentDriveAndEveryFolder)
{
    const EndRow rows[] = {
        {"次へ", Click(1), 1, "D:\\App\\SUB"},
        {"Enter in the folder list", Key(Qt::Key_Return), 1, "D:\\App\\SUB"},
        {"戻る", Click(1008), 1008, "C:\\KORIMU"},
        {"Escape", Key(Qt::Key_Escape), 2, "C:\\KORIMU"},
    };
    for (const EndRow& row : rows) {
        SCOPED_TRACE(row.action);
        WizardContext& wizard = Context();
        ASSERT_EQ(wizard.machine.ChDir("D:\\some\\dir"), 0);
        ASSERT_EQ(wizard.machine.ChDir("C:\\PKG"), 0);
        installFolder = "C:\\KORIMU";
        const int code = Show(Inspect(
            [](QWidget* dialog) {
                ClickEntry(Drives(dialog), "[-d-]");
                ClickEntry(Folders(dialog), "[App]");
                ClickEntry(Folders(dialog), "[SUB]");
            },
            row.step));
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(installFolder, row.installFolder);
        EXPECT_EQ(wizard.machine.GetDrive(), 3);
        EXPECT_EQ(wizard.machine.GetDriveCwd(3), "C:\\PKG");
        EXPECT_EQ(wizard.machine.GetDriveCwd(4), "D:\\some\\dir");
    }
}

TEST_F(DestinationDlgTest, HandsBackWhateverTheEditBoxHoldsUnchecked)
{
    for (const QString& typed : {QStringLiteral("  E:\\どこか\\ "), QString()}) {
        SCOPED_TRACE(typed.toStdString());
        Show(Inspect([&](QWidget* dialog) { Control<QLineEdit>(dialog, 1005)->setText(typed); }, Click(1)));
        EXPECT_EQ(installFolder, FromDisplay(typed));
    }
}

}  // namespace
}  // namespace pelmo
