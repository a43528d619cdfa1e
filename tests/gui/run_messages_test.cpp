// The upgrade run inside the wizard: its message boxes (text, caption, buttons, owner)
// and what the wizard does after each.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest/QTest>

#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_machine.h"
#include "wizard/list_box.h"
#include "wizard/pelmo_view.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Click;
using test::ClickMessageButton;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

const QString kOk = QStringLiteral("OK");
const QString kCancel = QStringLiteral("キャンセル");

class RunMessagesTest : public test::GuiTest {
protected:
    RunMessagesTest() : installed(machineFolder.driveC() / "KORIMU") { test::InstallSystem(installed); }

    // Runs the whole wizard; every message box is checked for its owner, its icon
    // and the cursor over it before `steps` answer the windows.
    std::vector<std::string> Play(const std::vector<ScriptedUser::Step>& steps)
    {
        test::WritePackage(packageRoot(), package);
        CPelmoApp app(Context().machine, sourceFolder);
        ScriptedUser user;
        for (const ScriptedUser::Step& step : steps) {
            user.Then(Inspect(
                [&app](QWidget* window) {
                    auto* box = qobject_cast<QMessageBox*>(window);
                    if (!box)
                        return;
                    EXPECT_EQ(box->parentWidget(), app.mainFrame()->view());
                    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
                    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no hourglass over a message box";
                },
                step));
        }
        EXPECT_TRUE(app.InitInstance());
        EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
        EXPECT_FALSE(user.sawUnexpectedWindow());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        return user.transcript();
    }

    fs::path packageRoot() const { return sourceFolder == "A:" ? floppy : packageFolder; }

    // The package on the root of floppy drive A:, as the program is shipped.
    void ShipOnFloppy()
    {
        floppy = machineFolder.AddDrive('a');
        sourceFolder = "A:";
    }

    fs::path installed;
    fs::path floppy;
    test::PackageText package;
};

TEST_F(RunMessagesTest, ARejectedFolderIsReportedAndTheDestinationDialogComesBack)
{
    package.installFolder = "C:\\NOWHERE";
    EXPECT_EQ(Play({Click(1), Click(1), Click(1), ClickMessageButton(kOk), Click(1008), Click(2)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[ｴﾗｰ] ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。 (OK)", "CDestinationDlg",
                                        "CStartDlg"}));
}

TEST_F(RunMessagesTest, AnotherVersionIsReportedAndTheDestinationDialogComesBack)
{
    package.requiredVersion = "4";
    EXPECT_EQ(Play({Click(1), Click(1), Click(1), ClickMessageButton(kOk), Key(Qt::Key_Escape), Click(2)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[ｴﾗｰ] このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。 (OK)", "CDestinationDlg",
                                        "CStartDlg"}));
}

TEST_F(RunMessagesTest, AnUnknownSystemKindIsReportedAndTheDestinationDialogComesBack)
{
    // An empty keyword occurs in every title, so all five name something else.
    package.titleKeywords = {"どれでもない", "KIND2", "KIND3", "KIND4", "KIND5"};
    package.entries = {"1,1,start,"};
    EXPECT_EQ(Play({Click(1), Click(1), Click(1), ClickMessageButton(kOk), Click(1008), Click(2)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[更新ｴﾗｰ] ｼｽﾃﾑ名称が取得できませんでした。 (OK)", "CDestinationDlg",
                                        "CStartDlg"}));
}

TEST_F(RunMessagesTest, ASuccessfulRunReportsAndCloses)
{
    package.entries = {"1,0,NEW.TXT,"};
    test::WriteHostFile(packageFolder / "NEW.TXT", "new");
    EXPECT_EQ(Play({Click(1), Click(1), Click(1), ClickMessageButton(kOk)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[確認] システムは正常に更新されました。 (OK)"}));
    EXPECT_EQ(test::ReadHostFile(installed / "NEW.TXT"), "new");
}

struct DiskRow {
    const char* name;
    ScriptedUser::Step answer;
};

TEST_F(RunMessagesTest, ACancelledDiskPromptIsReportedAndCloses)
{
    const DiskRow rows[] = {
        {"キャンセル", ClickMessageButton(kCancel)},
        {"Escape", Key(Qt::Key_Escape)},
    };
    ShipOnFloppy();
    package.entries = {"2,0,DISK2.TXT,"};
    for (const DiskRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Play({Click(1), Click(1), Click(1), row.answer, ClickMessageButton(kOk)}),
                  (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                            "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。 (OK/キャンセル)",
                                            "[確認] ｱｯﾌﾟﾃﾞｲﾄを取消しました。 (OK)"}));
        EXPECT_FALSE(fs::exists(installed / "DISK2.TXT"));
    }
}

TEST_F(RunMessagesTest, TheDiskPromptComesBackUntilTheDiskHoldsTheFile)
{
    ShipOnFloppy();
    package.entries = {"2,0,DISK2.TXT,"};
    // Which name the run looks for on the disk is the run's business: disk 2
    // holds the file both plain and as an archive name.
    auto insertDisk = [this](QWidget*) {
        test::WriteHostFile(floppy / "DISK2.TXT", "disk two");
        test::WriteHostFile(floppy / "DISK2.TXT.lzh", "");
    };
    EXPECT_EQ(Play({Click(1), Click(1), Click(1), ClickMessageButton(kOk), Inspect(insertDisk, ClickMessageButton(kOk)),
                    ClickMessageButton(kOk)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。 (OK/キャンセル)",
                                        "[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。 (OK/キャンセル)",
                                        "[確認] システムは正常に更新されました。 (OK)"}));
    EXPECT_EQ(test::ReadHostFile(installed / "DISK2.TXT"), "disk two");
}

TEST_F(RunMessagesTest, BrowsingTheFloppyInTheDestinationDialogDoesNotLoseThePackage)
{
    ShipOnFloppy();
    fs::create_directories(floppy / "SUB");
    package.entries = {"1,0,ONE.TXT,"};
    test::WriteHostFile(floppy / "ONE.TXT", "one");
    auto browseFloppy = [](QWidget* dialog) {
        auto clickEntry = [](ListBox* list, const QString& text) {
            for (int row = 0; row < list->count(); ++row) {
                if (list->item(row)->text() == text)
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      list->visualItemRect(list->item(row)).center());
            }
        };
        clickEntry(Control<ListBox>(dialog, 1002), "[-a-]");
        clickEntry(Control<ListBox>(dialog, 1003), "[SUB]");
        Control<QLineEdit>(dialog, 1005)->setText("C:\\KORIMU");
    };
    EXPECT_EQ(Play({Click(1), Inspect(browseFloppy, Click(1)), Click(1), ClickMessageButton(kOk)}),
              (std::vector<std::string>{"CStartDlg", "CDestinationDlg", "CConfirmDlg",
                                        "[確認] システムは正常に更新されました。 (OK)"}));
    EXPECT_EQ(test::ReadHostFile(installed / "ONE.TXT"), "one");
}

}  // namespace
}  // namespace pelmo
