// The message boxes' layout over the run's own texts.
#include <QFontMetrics>
#include <QPushButton>

#include <gtest/gtest.h>

#include "res/dialog_templates.h"
#include "res/strings.h"
#include "tests/gui/gui_support.h"
#include "wizard/dialog_builder.h"
#include "wizard/display_text.h"
#include "wizard/message_box.h"

namespace pelmo::test {

TEST(MessageBoxTest, TextTakesItsWidthWrapsAtTheScreensLimitWithEqualMarginsAndCentredButtons)
{
    const std::string longPath = "C:\\KORIMU\\ZUMEN\\ｻﾝﾌﾟﾙ図面\\2001年度\\第3工場\\製缶部品\\ﾌﾞﾗｹｯﾄ類\\ﾍﾞｰｽﾌﾟﾚｰﾄ\\"
                                 "BASEPLATE-SS400-T12-0001-0002-0003-0004-0005-0006-0007-0008-0009.DWG";
    struct Row {
        const char* what;
        std::string text;
        bool okCancel;
    };
    const Row rows[] = {
        {"shortest", GetText(Text::RunBusy), false},
        {"longest", GetText(Text::PreviousRolledBack), false},
        {"disk prompt", FormatText(Text::InsertDisk, "2"), true},
        {"library message with a long path", FormatText(Text::ArchiveCannotWrite, longPath), false},
    };
    const QFont font = DialogFont(kDialogFontName, 9, 96);
    const QFontMetrics metrics(font);
    for (const Row& row : rows) {
        for (int screen : {640, 800, 1024, 1920}) {
            SCOPED_TRACE(std::string(row.what) + " at " + std::to_string(screen));
            const QString text = ToDisplay(row.text);
            QStringList buttons{QStringLiteral("OK")};
            if (row.okCancel)
                buttons << QStringLiteral("キャンセル");
            const int limit = MessageTextLimit(screen);
            const MessageBoxLayout box = LayOutMessageBox(font, text, buttons, limit);

            EXPECT_EQ(box.lines.join(QString()).remove(QLatin1Char(' ')), QString(text).remove(QLatin1Char(' ')))
                << "the lines hold the whole text";
            const int natural = metrics.horizontalAdvance(text);
            if (natural <= limit) {
                EXPECT_EQ(box.lines.size(), 1) << "a text that fits is one line";
            } else {
                EXPECT_GT(box.lines.size(), 1);
            }
            for (const QString& line : box.lines)
                EXPECT_LE(metrics.horizontalAdvance(line), box.text.width()) << line.toStdString();
            EXPECT_LE(box.text.width(), limit);
            EXPECT_GE(box.text.height(), int(box.lines.size()) * metrics.height());
            EXPECT_LE(box.client.width(), screen);

            const QRect rowRect = box.buttons.front() | box.buttons.back();
            const int right = box.client.width() - 1 - box.text.right();
            EXPECT_EQ(box.text.left(), box.text.top()) << "the margin above is the margin at the left";
            if (box.text.width() >= rowRect.width()) {
                EXPECT_EQ(right, box.text.left()) << "equal margins";
            }
            EXPECT_LE(std::abs(rowRect.left() - (box.client.width() - 1 - rowRect.right())), 1) << "buttons centred";
            EXPECT_GT(rowRect.top(), box.text.bottom());
            EXPECT_LT(rowRect.bottom(), box.client.height() - 1);
            for (const QRect& button : box.buttons)
                EXPECT_EQ(button.size(), box.buttons.front().size());
            EXPECT_GE(box.buttons.back().width(), metrics.horizontalAdvance(buttons.back()));
        }
    }
}

TEST(MessageBoxTest, EveryPartTakesTheBoxsFontAndEscapeAndTheButtonsAnswer)
{
    const QFont font = DialogFont(kDialogFontName, 9, 96);
    MessageBoxDialog okCancel(nullptr, font, "確認", "text", {"OK", "キャンセル"}, 1, 1024);
    // Latin letters and digits in the same font as the Japanese text, whatever the system's default.
    for (QWidget* part : okCancel.findChildren<QWidget*>())
        EXPECT_EQ(part->font(), font) << part->metaObject()->className();
    okCancel.reject();
    EXPECT_EQ(okCancel.answer(), 1);
    okCancel.buttons()[0]->click();
    EXPECT_EQ(okCancel.answer(), 0);
    EXPECT_TRUE(LookOf(okCancel.buttons()[0]).ringed) << "the default button looks as in a dialog";
    MessageBoxDialog ok(nullptr, font, "確認", "text", {"OK"}, 0, 1024);
    ok.reject();
    EXPECT_EQ(ok.answer(), 0);
}

}  // namespace pelmo::test
