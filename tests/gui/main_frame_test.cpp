// Start-up: the main window, its caption from info.txt, the order of the first
// commands, and the About box.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>

#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "tests/gui/gui_support.h"
#include "wizard/command_event.h"
#include "wizard/pelmo_view.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Click;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

class MainFrameTest : public test::GuiTest {
protected:
    const Machine& LoadedMachine() { return Context().machine; }

    // Starts the application and answers the start dialog with `step` after
    // noting the frame's caption; returns that caption.
    QString CaptionDuringStartDialog(ScriptedUser::Step step = Click(2))
    {
        CPelmoApp app(LoadedMachine(), sourceFolder);
        ScriptedUser user;
        QString caption;
        user.Then(Inspect([&](QWidget*) { caption = app.mainFrame()->windowTitle(); }, step));
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(app.mainFrame()->windowTitle(), QStringLiteral("Pelmo")) << "before command 104";
        EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
        EXPECT_EQ(user.transcript(), std::vector<std::string>{"CStartDlg"});
        return caption;
    }
};

struct CaptionRow {
    const char* name;
    std::optional<std::string> infoTxt;  // UTF-8, stored in code page 932
    const char* caption;
};

TEST_F(MainFrameTest, CaptionIsTheFirstLineOfInfoTxtSetWhileTheStartDialogIsOpen)
{
    const CaptionRow rows[] = {
        {"a Japanese title", "ペルモ更新ﾃﾞｨｽｸ\r\nNULL\r\n", "ペルモ更新ﾃﾞｨｽｸ"},
        {"a line without its line end", "Title only", "Title only"},
        {"an empty first line", "\r\nsecond\r\n", ""},
        {"an empty file", "", ""},
        {"no info.txt", std::nullopt, ""},
    };
    for (const CaptionRow& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(packageFolder / "info.txt");
        if (row.infoTxt)
            test::WriteHostFile(packageFolder / "info.txt", test::Sjis(*row.infoTxt));
        EXPECT_EQ(CaptionDuringStartDialog().toStdString(), row.caption);
    }
}

TEST_F(MainFrameTest, ADriveRootSourceFolderReadsRelativeToThatDrivesCurrentFolder)
{
    fs::path floppy = machineFolder.AddDrive('a');
    test::WriteHostFile(floppy / "info.txt", test::Sjis("ディスク1\r\n"));
    sourceFolder = "A:";
    EXPECT_EQ(CaptionDuringStartDialog().toStdString(), "ディスク1");
}

TEST_F(MainFrameTest, FillsTheScreenWithoutMenuButtonsOrSizingBorder)
{
    test::WritePackage(packageFolder, {});
    CPelmoApp app(LoadedMachine(), sourceFolder);
    ScriptedUser user;
    Qt::WindowFlags flags;
    bool maximised = false;
    bool fixedSize = false;
    bool hasMenuBar = true;
    user.Then(Inspect(
        [&](QWidget*) {
            CMainFrame* frame = app.mainFrame();
            flags = frame->windowFlags();
            maximised = frame->windowState() & Qt::WindowMaximized;
            fixedSize = frame->minimumSize() == frame->maximumSize() && frame->minimumSize() == frame->size();
            hasMenuBar = frame->findChild<QMenuBar*>() != nullptr;
        },
        Click(2)));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(maximised);
    EXPECT_TRUE(fixedSize);
    EXPECT_FALSE(hasMenuBar);
}

TEST_F(MainFrameTest, TheViewReadsThePackageBeforeTheFirstDialog)
{
    test::PackageText package;
    package.masterAdjustFlag = "1";
    package.installFolder = "E:\\SYS";
    test::WritePackage(packageFolder, package);
    CPelmoApp app(LoadedMachine(), sourceFolder);
    ScriptedUser user;
    QString caption;
    user.Then(Inspect([&](QWidget* dialog) { caption = dialog->windowTitle(); }, Click(2)));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.mainFrame()->view()->packageInfo().installFolder, "E:\\SYS");
    EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
    EXPECT_EQ(caption, QStringLiteral("マスタ調整機能付"));
}

TEST_F(MainFrameTest, AboutBoxIsReachableFromCodeOnly)
{
    test::WritePackage(packageFolder, {});
    CPelmoApp app(LoadedMachine(), sourceFolder);
    ScriptedUser user;
    QStringList texts;
    Qt::WindowFlags flags;
    QPointer<QWidget> start;
    user.Then([&](QWidget* dialog) {
        start = dialog;
        PostCommand(&app, ID_APP_ABOUT);
    });
    user.Then(Inspect(
        [&](QWidget* about) {
            for (QLabel* label : about->findChildren<QLabel*>())
                texts << label->text();
            flags = about->windowFlags();
            // Once the About box is gone, the start dialog is answered again.
            QTimer::singleShot(0, &app, [&] {
                if (start)
                    Click(2)(start);
            });
        },
        Key(Qt::Key_Return)));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
    EXPECT_EQ(user.transcript(), (std::vector<std::string>{"CStartDlg", "CAboutDlg"}));
    EXPECT_TRUE(texts.contains(QStringLiteral("Pelmo Version 1.0")));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint) << "the About box keeps its system menu";
}

}  // namespace
}  // namespace pelmo
