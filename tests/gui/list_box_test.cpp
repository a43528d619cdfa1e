// The list box: sorted entries that keep their bytes, notifications for user actions only.
#include <QSignalSpy>

#include "tests/gui/gui_support.h"
#include "wizard/list_box.h"

namespace pelmo::test {

class ListBoxTest : public ::testing::Test {
protected:
    void Fill(std::initializer_list<std::string> entries)
    {
        list.ResetContent();
        for (const std::string& entry : entries)
            list.AddEntry(entry);
        list.show();
    }
    void Click(int row, Qt::MouseButton button = Qt::LeftButton, bool twice = false)
    {
        const QPoint at = list.visualItemRect(list.item(row)).center();
        twice ? QTest::mouseDClick(list.viewport(), button, {}, at)
              : QTest::mouseClick(list.viewport(), button, {}, at);
    }
    ListBox list{true};
    QSignalSpy selChanges{&list, &ListBox::selChange};
    QSignalSpy doubleClicks{&list, &ListBox::dblClk};
};

TEST_F(ListBoxTest, SortsIgnoringLetterCaseEqualEntriesInOrderOfArrivalAndKeepsTheBytes)
{
    const std::string table = "[" + Sjis("ソフト表") + "]";  // two trail bytes 0x5C
    Fill({"[b]", "[..]", "[A]", "[c]", "[a]", table, "[B]"});
    std::vector<std::string> entries;
    for (int row = 0; row <= list.count(); ++row)
        entries.push_back(list.GetEntry(row));
    EXPECT_EQ(entries, (std::vector<std::string>{"[..]", "[A]", "[a]", "[b]", "[B]", "[c]", table, ""}));
    EXPECT_EQ(list.item(6)->text(), "[ソフト表]");
    ListBox unsorted(false);
    unsorted.AddEntry("[b]");
    unsorted.AddEntry("[a]");
    EXPECT_EQ(unsorted.GetEntry(0), "[b]");
}

TEST_F(ListBoxTest, OnlyTheUserNotifiesALeftClickEachTimeADoubleClickOnlyItself)
{
    Fill({"[x]", "[y]"});
    Fill({"[..]"});
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(selChanges.count(), 0) << "filling and emptying";
    Click(0);
    EXPECT_EQ(list.GetCurSel(), 0);
    EXPECT_EQ(selChanges.count(), 1) << "also in a list of one entry";
    Fill({"[..]", "[a]", "[b]"});
    Click(1, Qt::RightButton);
    Click(1, Qt::RightButton, true);
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(selChanges.count() + doubleClicks.count(), 1) << "the right button does nothing";
    Click(2);
    Click(2);
    EXPECT_EQ(list.GetCurSel(), 2);
    EXPECT_EQ(selChanges.count(), 3) << "also on the entry already selected";
    Fill({"[x]", "[y]"});  // as the first click's handler does
    Click(1, Qt::LeftButton, true);
    EXPECT_GE(doubleClicks.count(), 1);
    EXPECT_EQ(list.GetCurSel(), -1);
}

TEST_F(ListBoxTest, NavigationKeysSelectAndNotifyEachTime)
{
    const std::pair<std::vector<Qt::Key>, int> rows[] = {
        {{Qt::Key_Down}, 1},  // a fresh list's caret stands unselected on the first entry
        {{Qt::Key_Up}, 0},
        {{Qt::Key_Down, Qt::Key_Down}, 2},
        {{Qt::Key_End, Qt::Key_Home}, 0},
        {{Qt::Key_End, Qt::Key_Down}, 3},
    };
    for (const auto& [keys, selected] : rows) {
        Fill({"[..]", "[a]", "[b]", "[c]"});
        selChanges.clear();
        for (Qt::Key key : keys)
            QTest::keyClick(&list, key);
        EXPECT_EQ(list.GetCurSel(), selected) << keys.size();
        EXPECT_EQ(selChanges.count(), int(keys.size()));
    }
    Fill({"[..]", "[a]", "[b]"});  // typing finds an entry: a notification only when the selection moves
    selChanges.clear();
    QTest::keyClicks(&list, "[b");
    const int moves = selChanges.count();
    QTest::keyClick(&list, Qt::Key_Z);
    EXPECT_TRUE(list.GetCurSel() == 2 && moves >= 1 && selChanges.count() == moves) << moves;
}

// The list with the keyboard marks its current entry (the first before any is
// current) with a dotted rectangle; without the keyboard it marks nothing.
TEST_F(ListBoxTest, MarksTheCurrentEntryWhileItHasTheFocus)
{
    Fill({"[a]", "[b]"});
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    auto marked = [this](int row) {
        const QImage image = list.viewport()->grab().toImage();
        const QRect item = list.visualItemRect(list.item(row));
        int dark = 0;
        for (int x = item.left(); x < item.right(); ++x)
            dark += qGray(image.pixel(x, item.top())) < 128;
        return dark > item.width() / 4;
    };
    list.clearFocus();
    EXPECT_FALSE(marked(0));
    list.setFocus();
    EXPECT_TRUE(marked(0)) << "the first entry before any is current";
    EXPECT_FALSE(marked(1));
    list.setCurrentRow(1, QItemSelectionModel::NoUpdate);
    EXPECT_TRUE(marked(1));
    EXPECT_FALSE(marked(0));
    // An empty list marks a row's height at its very top: each of the four edges.
    Fill({});
    list.setFocus();
    const QImage empty = list.viewport()->grab().toImage();
    const int width = empty.width(), height = list.fontMetrics().height();
    int top = 0, bottom = 0, left = 0, right = 0;
    for (int x = 0; x < width; ++x) {
        top += qGray(empty.pixel(x, 0)) < 128;
        bottom += qGray(empty.pixel(x, height - 1)) < 128;
    }
    for (int y = 0; y < height; ++y) {
        left += qGray(empty.pixel(0, y)) < 128;
        right += qGray(empty.pixel(width - 1, y)) < 128;
    }
    EXPECT_TRUE(top > width / 4 && bottom > width / 4 && left > height / 4 && right > height / 4)
        << top << " " << bottom << " " << left << " " << right;
}

}  // namespace pelmo::test
