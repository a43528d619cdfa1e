// Screenshots of the wizard on the demo package, written as PNG files to
// $PELMO_SCREENSHOT_DIR for a person to look at; skipped when that is not set.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QtTest/QTest>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "tests/gui/gui_support.h"
#include "tests/support/bmp_writer.h"
#include "tests/support/test_machine.h"
#include "wizard/list_box.h"
#include "wizard/qt_prompter.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Click;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

class ScreenshotTest : public test::GuiTest {
protected:
    void SetUp() override
    {
        folder = QString::fromLocal8Bit(qgetenv("PELMO_SCREENSHOT_DIR"));
        if (folder.isEmpty())
            GTEST_SKIP() << "PELMO_SCREENSHOT_DIR is not set";
        ASSERT_TRUE(QDir().mkpath(folder));
    }

    void Save(const QPixmap& picture, const char* name)
    {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
        EXPECT_TRUE(picture.save(path)) << path.toStdString();
        EXPECT_GT(picture.width(), 0);
    }

    // The demo machine and package when they are there, else a small package here.
    std::optional<Machine> DemoMachine()
    {
        const fs::path demo = fs::path(PELMO_EXAMPLES) / "machine";
        if (fs::exists(demo / "dosdevices" / "a:" / "info.txt")) {
            sourceFolder = "A:";
            return Machine::Load(demo);
        }
        test::InstallSystem(machineFolder.driveC() / "KORIMU");
        test::BmpFile bmp;
        bmp.width = 2;
        bmp.height = 2;
        bmp.pixels = test::PackPixels(2, 24, {0x3060C0, 0x80A0E0, 0x204080, 0xFFFFFF});
        for (const char* name : {"main.bmp", "start.bmp", "dest.bmp", "confirm.bmp"})
            test::WriteHostFile(packageFolder / name, test::WriteBmp(bmp));
        test::PackageText package;
        package.masterAdjustFlag = "1";
        package.mainPicture = "main.bmp";
        package.startPicture = "start.bmp";
        package.destinationPicture = "dest.bmp";
        package.confirmPicture = "confirm.bmp";
        package.startNotes = "ﾃﾞｼﾞﾀｲｻﾞの設定を更新します。\t\tディスクは 2 枚です。";
        package.destinationNotes = "インストール先を確認してください。";
        test::WritePackage(packageFolder, package);
        return Context().machine;
    }

    QString folder;
};

void ClickEntry(ListBox* list, const QString& text)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == text)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
}

TEST_F(ScreenshotTest, RendersTheMainWindowAndEveryDialog)
{
    std::optional<Machine> demo = DemoMachine();
    ASSERT_TRUE(demo);
    CPelmoApp app(*demo, sourceFolder);
    ScriptedUser user;
    auto screen = [&](QWidget* dialog, const char* name) {
        QPixmap shot = app.mainFrame()->grab();
        QPainter painter(&shot);
        painter.drawPixmap(dialog->geometry().topLeft() - app.mainFrame()->geometry().topLeft(), dialog->grab());
        painter.end();
        Save(shot, name);
    };
    user.Then(Inspect(
        [&](QWidget* start) {
            Save(app.mainFrame()->grab(), "main");
            Save(start->grab(), "start");
            screen(start, "screen-start");
        },
        Click(1)));
    user.Then(Inspect(
        [&](QWidget* destination) {
            Save(destination->grab(), "destination");
            ClickEntry(Control<ListBox>(destination, 1002), "[-c-]");
            ClickEntry(Control<ListBox>(destination, 1003), "[KORIMU]");
            Save(destination->grab(), "destination-browsing");
            screen(destination, "screen-destination");
        },
        Click(1)));
    user.Then(Inspect(
        [&](QWidget* confirm) {
            Save(confirm->grab(), "confirm");
            screen(confirm, "screen-confirm");
        },
        Click(2)));
    user.Then(Click(1008));
    user.Then(Click(2));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
    EXPECT_FALSE(user.sawUnexpectedWindow());
}

TEST_F(ScreenshotTest, RendersTheAboutBoxAndAMessageBox)
{
    ScriptedUser user;
    user.Then(Inspect([&](QWidget* about) { Save(about->grab(), "about"); }, Key(Qt::Key_Return)));
    user.Then(Inspect([&](QWidget* box) { Save(box->grab(), "message-disk"); }, Key(Qt::Key_Escape)));
    CAboutDlg about(nullptr);
    EXPECT_EQ(about.DoModal(), 1);
    QtPrompter prompter(nullptr);
    EXPECT_EQ(prompter.MessageBox(test::Sjis("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"), test::Sjis("確認"), MB_OKCANCEL),
              IDCANCEL);
}

}  // namespace
}  // namespace pelmo
