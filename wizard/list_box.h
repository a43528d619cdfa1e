// A list box that notifies its dialog of user actions only, as a Windows list box does.
#pragma once

#include <QListWidget>
#include <string>

namespace pelmo {

// Selection changes made by the program (filling, emptying) notify nothing; a
// click, a navigation key or a typed letter sends selChange, a double-click sends
// dblClk alone.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(bool sorted, QWidget* parent = nullptr);

    // Adds an entry (code page 932), in case-insensitive order when the list sorts
    // its entries. The entry keeps its bytes, so what the program reads back is
    // what it put in, whatever the display made of it.
    void AddEntry(const std::string& cp932);
    void ResetContent();
    // The selected row, or -1.
    int GetCurSel() const;
    std::string GetEntry(int index) const;

signals:
    void selChange();
    void dblClk();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool sorted_;
    bool captured_ = false;  // a left press began in this list
};

}  // namespace pelmo
