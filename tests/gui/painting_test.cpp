// Pictures: the main picture stretched over the view, and the dialogs' picture frame.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include "tests/gui/gui_support.h"
#include "tests/support/bmp_writer.h"
#include "tests/support/test_machine.h"
#include "wizard/pelmo_view.h"
#include "wizard/picture_frame.h"
#include "wizard/start_dlg.h"

namespace pelmo {
namespace {

using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

// A 2 x 2 picture: red, green on top; blue, white below.
std::string FourColours()
{
    test::BmpFile bmp;
    bmp.width = 2;
    bmp.height = 2;
    bmp.pixels = test::PackPixels(2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    return test::WriteBmp(bmp);
}

std::string OneColour(std::uint32_t rgb)
{
    test::BmpFile bmp;
    bmp.pixels = test::PackPixels(1, 24, {rgb});
    return test::WriteBmp(bmp);
}

class PaintingTest : public test::GuiTest {
protected:
    QImage PaintView(const std::string& mainPicture)
    {
        test::PackageText package;
        package.mainPicture = mainPicture;
        test::WritePackage(packageFolder, package);
        QWidget frame;
        CPelmoView view(Context(), &frame);
        view.OnCreate();
        view.resize(200, 100);
        QCoreApplication::removePostedEvents(&view);  // the wizard is not wanted here
        return view.grab().toImage();
    }
};

TEST_F(PaintingTest, MainPictureIsStretchedOverTheWholeViewWidthAndHeightApart)
{
    test::WriteHostFile(packageFolder / "main.bmp", FourColours());
    QImage image = PaintView("main.bmp");
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(image.pixel(0, 0), kRed);
    EXPECT_EQ(image.pixel(99, 49), kRed);
    EXPECT_EQ(image.pixel(100, 0), kGreen);
    EXPECT_EQ(image.pixel(199, 49), kGreen);
    EXPECT_EQ(image.pixel(0, 50), kBlue);
    EXPECT_EQ(image.pixel(99, 99), kBlue);
    EXPECT_EQ(image.pixel(199, 99), kWhite);
}

TEST_F(PaintingTest, EveryPaintReadsThePictureAgain)
{
    test::WriteHostFile(packageFolder / "main.bmp", OneColour(0xFF0000));
    EXPECT_EQ(PaintView("main.bmp").pixel(10, 10), kRed);
    test::WriteHostFile(packageFolder / "main.bmp", OneColour(0x0000FF));
    EXPECT_EQ(PaintView("main.bmp").pixel(10, 10), kBlue);
}

TEST_F(PaintingTest, WithoutAPictureTheViewShowsTheWindowColour)
{
    for (const char* name : {"", "missing.bmp"}) {
        SCOPED_TRACE(name);
        QImage image = PaintView(name);
        QWidget reference;
        EXPECT_EQ(image.pixel(100, 50), reference.palette().color(QPalette::Base).rgb());
    }
}

TEST_F(PaintingTest, StartDialogPaintsItsPictureOverTheBlackFrame)
{
    test::WriteHostFile(packageFolder / "start.bmp", OneColour(0x00FF00));
    struct Row {
        const char* picture;
        bool drawn;
    } rows[] = {{"start.bmp", true}, {"missing.bmp", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.picture);
        CStartDlg dialog(Context(), nullptr);
        dialog.startPicture = row.picture;
        QImage frame;
        QRgb background = 0;
        ScriptedUser user;
        user.Then(Inspect(
            [&](QWidget* shown) {
                frame = Control<PictureFrame>(shown, 1007)->grab().toImage();
                background = shown->palette().color(QPalette::Window).rgb();
            },
            Key(Qt::Key_Escape)));
        dialog.DoModal();
        ASSERT_FALSE(frame.isNull());
        const QPoint middle(frame.width() / 2, frame.height() / 2);
        if (row.drawn) {
            EXPECT_EQ(frame.pixel(0, 0), kGreen);
            EXPECT_EQ(frame.pixel(middle), kGreen);
        } else {
            EXPECT_EQ(frame.pixel(0, 0), 0xFF000000) << "the black frame stays";
            EXPECT_EQ(frame.pixel(middle), background);
        }
    }
}

}  // namespace
}  // namespace pelmo
