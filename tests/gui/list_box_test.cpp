// The list box: notifications come from user actions only, entries keep their bytes.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QtTest/QTest>

#include "tests/support/test_machine.h"
#include "wizard/list_box.h"

namespace pelmo {
namespace {

class ListBoxTest : public ::testing::Test {
protected:
    ListBoxTest() : list(true)
    {
        list.resize(120, 200);
        for (const char* entry : {"[b]", "[..]", "[A]", "[c]"})
            list.AddEntry(entry);
        list.show();
    }
    ~ListBoxTest() override { list.hide(); }

    void ClickRow(int row)
    {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
    }

    ListBox list;
    QSignalSpy selChanges{&list, &ListBox::selChange};
    QSignalSpy doubleClicks{&list, &ListBox::dblClk};
};

TEST_F(ListBoxTest, SortsEntriesIgnoringLetterCase)
{
    std::vector<std::string> entries;
    for (int row = 0; row < list.count(); ++row)
        entries.push_back(list.GetEntry(row));
    EXPECT_EQ(entries, (std::vector<std::string>{"[..]", "[A]", "[b]", "[c]"}));
}

TEST_F(ListBoxTest, FillingAndEmptyingNotifyNothing)
{
    list.ResetContent();
    list.AddEntry("[x]");
    list.AddEntry("[y]");
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(selChanges.count(), 0);
    EXPECT_EQ(doubleClicks.count(), 0);
}

TEST_F(ListBoxTest, AClickSelectsAndNotifiesOnceAlsoOnTheSelectedEntry)
{
    ClickRow(2);
    EXPECT_EQ(list.GetCurSel(), 2);
    EXPECT_EQ(selChanges.count(), 1);
    ClickRow(2);
    EXPECT_EQ(selChanges.count(), 2);
}

TEST_F(ListBoxTest, TheRightButtonSelectsNothing)
{
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, list.visualItemRect(list.item(1)).center());
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(selChanges.count(), 0);
}

TEST_F(ListBoxTest, ADoubleClickReportsItselfWithoutASecondSelection)
{
    ClickRow(1);
    list.ResetContent();  // what the handler of the first click does
    list.AddEntry("[x]");
    list.AddEntry("[y]");
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(1)).center());
    EXPECT_GE(doubleClicks.count(), 1);
    EXPECT_EQ(list.GetCurSel(), -1) << "the double-click itself selects nothing";
}

struct KeyRow {
    const char* name;
    std::vector<Qt::Key> keys;
    int selected;
    int notifications;
};

TEST(ListBoxKeysTest, NavigationKeysSelectAndNotifyEachTime)
{
    const KeyRow rows[] = {
        {"down from a fresh list goes to the second entry", {Qt::Key_Down}, 1, 1},
        {"up from a fresh list stays on the first", {Qt::Key_Up}, 0, 1},
        {"two downs", {Qt::Key_Down, Qt::Key_Down}, 2, 2},
        {"end", {Qt::Key_End}, 3, 1},
        {"end then home", {Qt::Key_End, Qt::Key_Home}, 0, 2},
        {"down past the last entry stays there", {Qt::Key_End, Qt::Key_Down}, 3, 2},
    };
    for (const KeyRow& row : rows) {
        SCOPED_TRACE(row.name);
        ListBox list(true);
        for (const char* entry : {"[..]", "[a]", "[b]", "[c]"})
            list.AddEntry(entry);
        QSignalSpy selChanges(&list, &ListBox::selChange);
        for (Qt::Key key : row.keys)
            QTest::keyClick(&list, key);
        EXPECT_EQ(list.GetCurSel(), row.selected);
        EXPECT_EQ(selChanges.count(), row.notifications);
    }
}

TEST(ListBoxEntryTest, GivesBackTheBytesItWasGiven)
{
    ListBox list(true);
    const std::string name = "[" + test::Sjis("ソフト表") + "]";  // trail bytes 0x5C and 0x5C
    list.AddEntry(name);
    EXPECT_EQ(list.GetEntry(0), name);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("[ソフト表]"));
    EXPECT_EQ(list.GetEntry(5), "");
}

}  // namespace
}  // namespace pelmo
