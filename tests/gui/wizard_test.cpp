// The wizard as a whole: the view's state table, the main picture, the main frame,
// and the prompter through which the run's messages reach the user.
#include <QFontInfo>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "tests/gui/gui_support.h"
#include "tests/support/bmp_writer.h"
#include "wizard/pelmo_view.h"
#include "wizard/qt_prompter.h"
#include "wizard/template_dialog.h"

namespace pelmo::test {

// Notes its close message; the run answers from a list; one dialog class cannot be shown.
class ScriptedView : public CPelmoView {
public:
    ScriptedView(WizardContext& context, ScriptedUser& user) : CPelmoView(context, nullptr), user(user) {}
    bool event(QEvent* event) override
    {
        closed |= event->type() == CloseMessageEvent::Type();
        return CPelmoView::event(event);
    }
    int ShowDialog(TemplateDialog& dialog) override
    {
        if (dialog.metaObject()->className() != "pelmo::" + refused)
            return CPelmoView::ShowDialog(dialog);
        user.transcript.push_back(refused + " cannot be shown");
        return -1;
    }
    int RunUpgrade() override
    {
        user.transcript.push_back("run on " + packageInfo().installFolder);
        return runResults.at(runs++);
    }
    ScriptedUser& user;
    std::vector<int> runResults;
    size_t runs = 0;
    std::string refused;
    bool closed = false;
};

Step TypeFolder(const char* folder, Step then)
{
    return Inspect([folder](QWidget* dialog) { Control<QLineEdit>(dialog, 1005)->setText(folder); }, then);
}

using WizardTest = GuiTest;

TEST_F(WizardTest, ViewFollowsItsStateTable)
{
    PackageText package;
    package.masterAdjustFlag = "1";
    WritePackage(packageFolder, package);
    const std::string start = "CStartDlg [マスタ調整機能付]", korimu = "CDestinationDlg C:\\KORIMU";
    const Step escape = Key(Qt::Key_Escape), enter = Key(Qt::Key_Return);
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<int> runResults;
        std::string refused;
        std::vector<std::string> transcript;
    } rows[] = {
        {"start: 取消 closes", {Click(2)}, {}, "", {start}},
        {"destination: 戻る shows the start dialog again", {enter, Click(1008), Click(2)}, {}, "", {start, korimu, start}},
        {"destination: Escape goes back like 戻る", {Click(1), escape, Click(2)}, {}, "", {start, korimu, start}},
        {"confirmation: 戻る shows the destination dialog with the folder accepted",
         {Click(1), TypeFolder("D:\\SYS", Click(1)), Click(2), Click(1008), Click(2)}, {}, "",
         {start, korimu, "CConfirmDlg D:\\SYS", "CDestinationDlg D:\\SYS", start}},
        {"confirmation: Escape shows the destination dialog again", {Click(1), enter, escape, escape, escape}, {}, "",
         {start, korimu, "CConfirmDlg C:\\KORIMU", korimu, start}},
        {"run: result 1 closes", {Click(1), TypeFolder("D:\\SYS", Click(1)), Click(1)}, {1}, "",
         {start, korimu, "CConfirmDlg D:\\SYS", "run on D:\\SYS"}},
        {"run: result 0 chooses a folder again, from the rejected one",
         {Click(1), TypeFolder("D:\\BAD", Click(1)), Click(1), TypeFolder("D:\\SYS", enter), enter}, {0, 1}, "",
         {start, korimu, "CConfirmDlg D:\\BAD", "run on D:\\BAD", "CDestinationDlg D:\\BAD", "CConfirmDlg D:\\SYS",
          "run on D:\\SYS"}},
        {"start cannot be shown: closes", {}, {}, "CStartDlg", {"CStartDlg cannot be shown"}},
        {"destination cannot be shown: closes", {Click(1)}, {}, "CDestinationDlg", {start, "CDestinationDlg cannot be shown"}},
        {"confirmation cannot be shown: closes", {Click(1), Click(1)}, {}, "CConfirmDlg",
         {start, korimu, "CConfirmDlg cannot be shown"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedUser user(row.steps);
        ScriptedView view(Context(), user);
        view.runResults = row.runResults;
        view.refused = row.refused;
        EXPECT_EQ(view.OnCreate(), 0);
        EXPECT_TRUE(user.RunUntil([&] { return view.closed; }));
        EXPECT_EQ(user.transcript, row.transcript);
    }
}

TEST_F(WizardTest, ViewShowsTheMainPictureStretchedElseTheWindowColour)
{
    PackageText package;
    package.mainPicture = "main.bmp";
    WritePackage(packageFolder, package);
    CPelmoView view(Context(), nullptr);
    view.OnCreate();
    QCoreApplication::removePostedEvents(&view);  // no wizard here
    view.resize(200, 100);
    EXPECT_EQ(view.grab().toImage().pixelColor(100, 50), view.palette().color(QPalette::Base));
    BmpFile bmp;
    bmp.width = bmp.height = 2;
    bmp.pixels = PackPixels(2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    WriteHostFile(packageFolder / "main.bmp", WriteBmp(bmp));
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixel(99, 49), 0xFFFF0000);
    EXPECT_EQ(image.pixel(100, 50), 0xFFFFFFFF);
}

std::vector<std::string> RunApp(CPelmoApp& app, std::vector<Step> steps)
{
    ScriptedUser user(steps);
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(app.mainFrame()->windowTitle(), "Pelmo") << "until command 104";
    EXPECT_TRUE(user.RunUntil([&] { return !app.mainFrame()->isVisible(); }));
    return user.transcript;
}

TEST_F(WizardTest, FrameFillsTheScreenWithTheFirstLineOfInfoTxtAsItsOnlyDecoration)
{
    const std::pair<std::optional<std::string>, const char*> rows[] = {
        {"ペルモ更新ﾃﾞｨｽｸ\r\nNULL\r\n", "ペルモ更新ﾃﾞｨｽｸ"}, {"Title only", "Title only"}, {"\r\nsecond\r\n", ""},
        {"", ""}, {std::nullopt, ""}};
    for (const auto& [infoTxt, caption] : rows) {
        SCOPED_TRACE(caption);
        std::filesystem::remove(packageFolder / "info.txt");
        if (infoTxt)
            WriteHostFile(packageFolder / "info.txt", Sjis(*infoTxt));
        CPelmoApp app(Context().machine, sourceFolder);
        auto frameWhileStarting = [&](QWidget*) {
            CMainFrame* frame = app.mainFrame();
            EXPECT_EQ(frame->windowTitle().toStdString(), caption);
            EXPECT_EQ(frame->windowHandle()->title().toStdString(), *caption ? caption : " ");
            EXPECT_EQ(frame->windowFlags() & ~Qt::WindowType_Mask, Qt::CustomizeWindowHint | Qt::WindowTitleHint);
            EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized);
            EXPECT_EQ(frame->frameGeometry(), frame->screen()->availableGeometry());
            EXPECT_EQ(frame->findChild<QMenuBar*>(), nullptr);
            PostCommand(&app, ID_APP_ABOUT);  // from code only
        };
        EXPECT_EQ(RunApp(app, {Inspect(frameWhileStarting, [](QWidget*) {}), Key(Qt::Key_Return), Click(2)}),
                  (std::vector<std::string>{"CStartDlg [ｱｯﾌﾟﾃﾞｲﾄ]", "CAboutDlg [ﾊﾞｰｼﾞｮﾝ情報(Pelmo)]", "CStartDlg [ｱｯﾌﾟﾃﾞｲﾄ]"}));
    }
}

TEST_F(WizardTest, FrameAndDialogFollowTheScreenAndDoNotStayMinimised)
{
    WritePackage(packageFolder, PackageText{});
    CPelmoApp app(Context().machine, sourceFolder);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect areas[] = {{0, 0, 640, 480}, {0, 24, 1920, 1056}, screen->availableGeometry()};
    auto changeScreen = [&](QWidget* start) {
        for (const QRect& area : areas) {
            SCOPED_TRACE(testing::Message() << area.width() << "x" << area.height());
            emit screen->availableGeometryChanged(area);
            EXPECT_EQ(app.mainFrame()->frameGeometry(), area);
            EXPECT_TRUE(app.mainFrame()->windowState() & Qt::WindowMaximized);
            const QRect dialog = start->frameGeometry();
            EXPECT_LE((dialog.center() - area.center()).manhattanLength(), 1) << "centred";
        }
    };
    auto minimise = [&](QWidget* start) {
        start->setWindowState(Qt::WindowMinimized);
        app.mainFrame()->setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        EXPECT_EQ(start->windowState(), Qt::WindowNoState);
        EXPECT_EQ(app.mainFrame()->windowState(), Qt::WindowMaximized);
    };
    // Where the user drags a dialog it stays.
    auto drag = [&](QWidget* start) {
        const QPoint moved = start->pos() + QPoint(40, 30);
        start->move(moved);
        QCoreApplication::processEvents();
        EXPECT_EQ(start->pos(), moved);
    };
    EXPECT_EQ(RunApp(app, {Inspect(changeScreen, Inspect(minimise, Inspect(drag, Click(2))))}),
              std::vector<std::string>{"CStartDlg [ｱｯﾌﾟﾃﾞｲﾄ]"});
}

// A folder the run rejects brings the destination dialog back; every message of a
// run is a box of the view, without the hourglass over it.
TEST_F(WizardTest, ARejectedFolderIsAskedForAgainAndTheRunsMessagesAreBoxesOfTheView)
{
    PackageText package;
    package.entries = {"1,0,NEW.TXT,"};
    WritePackage(packageFolder, package);
    WriteHostFile(packageFolder / "NEW.TXT", "new");
    CPelmoApp app(Context().machine, sourceFolder);
    auto box = [&](QWidget* window) {
        EXPECT_EQ(window->parentWidget(), app.mainFrame()->view());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no hourglass over a message box";
    };
    auto install = [&](QWidget*) { InstallSystem(machineFolder.driveC() / "KORIMU"); };
    const std::string korimu = "CDestinationDlg C:\\KORIMU", confirm = "CConfirmDlg C:\\KORIMU";
    EXPECT_EQ(RunApp(app, {Click(1), Click(1), Click(1), Inspect(box, Key(Qt::Key_Return)), Inspect(install, Click(1)),
                           Click(1), Inspect(box, Key(Qt::Key_Return))}),
              (std::vector<std::string>{"CStartDlg [ｱｯﾌﾟﾃﾞｲﾄ]", korimu, confirm,
                                        "[ｴﾗｰ] ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。 (OK)", korimu, confirm,
                                        "[確認] システムは正常に更新されました。 (OK)"}));
    EXPECT_EQ(ReadHostFile(machineFolder.driveC() / "KORIMU" / "NEW.TXT"), "new");
}

Qt::CursorShape Cursor()
{
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
}

TEST(QtPrompterTest, ShowsBoxesWithoutIconWithTheAskedButtonsWithoutTheHourglassWhichNests)
{
    const std::tuple<unsigned, Qt::Key, int, const char*> rows[] = {
        {MB_OK, Qt::Key_Return, IDOK, "(OK)"},
        {MB_OK, Qt::Key_Escape, IDOK, "(OK)"},
        {MB_OKCANCEL, Qt::Key_Return, IDOK, "(OK/キャンセル)"},
        {MB_OKCANCEL, Qt::Key_Escape, IDCANCEL, "(OK/キャンセル)"},
    };
    QWidget owner;
    owner.setGeometry(40, 30, 500, 400);
    owner.show();
    QtPrompter prompter(&owner);
    prompter.BeginBusy();
    prompter.BeginBusy();
    for (const auto& [buttons, key, result, shown] : rows) {
        auto check = [&](QWidget* box) {
            ASSERT_NE(qobject_cast<MessageBoxDialog*>(box), nullptr);
            EXPECT_EQ(box->parentWidget(), &owner);
            EXPECT_EQ(Cursor(), Qt::ArrowCursor);
            EXPECT_LE((box->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 1);
            EXPECT_EQ(QFontInfo(box->font()).family(), "IPAPGothic");
        };
        ScriptedUser user({Inspect(check, Key(key))});
        EXPECT_EQ(prompter.MessageBox(Sjis("ﾃﾞｨｽｸを\nｾｯﾄ"), Sjis("確認"), buttons), result);
        EXPECT_EQ(user.transcript, std::vector<std::string>{std::string("[確認] ﾃﾞｨｽｸを\nｾｯﾄ ") + shown});
        EXPECT_EQ(Cursor(), Qt::WaitCursor);
    }
    prompter.EndBusy();
    EXPECT_EQ(Cursor(), Qt::WaitCursor) << "nested";
    prompter.EndBusy();
    prompter.EndBusy();  // one too many changes nothing
    prompter.BeginBusy();
    prompter.EndBusy();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace pelmo::test
