// A list box that notifies its dialog of user actions only.
#include "wizard/list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "wizard/display_text.h"

namespace pelmo {
namespace {

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

}  // namespace

void ListBox::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    if (!hasFocus())
        return;
    // The system marks the list that has the keyboard with a dotted rectangle
    // round the current entry (the first when none is current yet, a row's
    // height at the top of an empty list).
    QModelIndex caret = currentIndex();
    if (!caret.isValid() && count() > 0)
        caret = model()->index(0, 0);
    QRect focus = caret.isValid() ? visualRect(caret) : QRect(0, 0, viewport()->width(), fontMetrics().height());
    focus.setWidth(viewport()->width());
    const bool selected = caret.isValid() && selectionModel()->isSelected(caret);
    const QColor ink = palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QBrush dots(ink, Qt::Dense4Pattern);
    QPainter painter(viewport());
    painter.setBrushOrigin(focus.topLeft());
    // Inside the entry's rectangle, as DrawFocusRect draws: its last column and row included.
    painter.fillRect(QRect(focus.left(), focus.top(), focus.width(), 1), dots);
    painter.fillRect(QRect(focus.left(), focus.bottom(), focus.width(), 1), dots);
    painter.fillRect(QRect(focus.left(), focus.top(), 1, focus.height()), dots);
    painter.fillRect(QRect(focus.right(), focus.top(), 1, focus.height()), dots);
}

void ListBox::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    viewport()->update();
}

void ListBox::focusOutEvent(QFocusEvent* event)
{
    QListWidget::focusOutEvent(event);
    viewport()->update();
}

ListBox::ListBox(bool sorted, QWidget* parent) : QListWidget(parent), sorted_(sorted)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

void ListBox::AddEntry(const std::string& cp932)
{
    const QString text = ToDisplay(cp932);
    int row = count();
    if (sorted_) {
        // After every entry that sorts equal or before, so equal entries keep
        // their order of arrival.
        int low = 0;
        while (low < row) {
            const int middle = (low + row) / 2;
            if (QString::compare(item(middle)->text(), text, Qt::CaseInsensitive) <= 0)
                low = middle + 1;
            else
                row = middle;
        }
    }
    auto* entry = new QListWidgetItem(text);
    entry->setData(Qt::UserRole, QByteArray::fromStdString(cp932));
    // A long name is cut by the list's width; its tip shows it whole.
    entry->setToolTip(text);
    insertItem(row, entry);
}

void ListBox::ResetContent()
{
    captured_ = false;
    clear();
}

int ListBox::GetCurSel() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

std::string ListBox::GetEntry(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

void ListBox::mousePressEvent(QMouseEvent* event)
{
    // Only the left button selects.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
    captured_ = event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr;
}

void ListBox::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    // The notification comes when the button is let go, also for the entry that
    // was already selected.
    if (event->button() == Qt::LeftButton && captured_) {
        captured_ = false;
        if (count() > 0)
            emit selChange();
    }
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double-click selects nothing: it only reports itself.
    if (event->button() == Qt::LeftButton)
        emit dblClk();
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = GetCurSel();
    if (IsNavigationKey(event->key()) && count() > 0) {
        // The caret of a freshly filled list stands on the first entry, unselected,
        // so the down arrow goes to the second one.
        if (currentRow() < 0)
            setCurrentRow(0, QItemSelectionModel::NoUpdate);
        QListWidget::keyPressEvent(event);
        // A key that leaves the caret in place still selects the entry under it.
        if (GetCurSel() < 0 && currentRow() >= 0)
            setCurrentRow(currentRow(), QItemSelectionModel::ClearAndSelect);
        emit selChange();
        return;
    }
    QListWidget::keyPressEvent(event);
    if (GetCurSel() != before && GetCurSel() >= 0)
        emit selChange();
}

}  // namespace pelmo
