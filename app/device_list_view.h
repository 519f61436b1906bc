#pragma once
// The device list: one painted row per device, with an information button at its right end.
// Rows are painted by a delegate rather than built from widgets, and the view is a one-column
// table with fixed row heights, which needs no per-row layout pass: adding a device to a list of
// thousands costs the same as adding it to a list of ten. Each button knows its own row.

#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

namespace nimbrel {

class DeviceListView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 48;

    explicit DeviceListView(QWidget* parent = nullptr);

    // The row's information button: a square at its right end, in viewport coordinates.
    QRect infoButtonRect(const QModelIndex& index) const;
    int hoveredButtonRow() const { return hoveredButton_; }

    // Called on every rebuild of the list.
    void reset() override;

Q_SIGNALS:
    // The pointer entered the information button of a row.
    void infoButtonEntered(int row);
    // The information button of a row was pressed; anchor is the button, in global coordinates.
    void infoButtonClicked(int row, const QRect& anchor);
    // The user moved the selection with the keyboard; treated like a click on the row.
    void rowChosenByKeyboard(const QModelIndex& index);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int buttonRowAt(const QPoint& position) const;
    void setHoveredButton(int row);

    int hoveredButton_ = -1;
    QTimer repaintHold_;
};

class DeviceRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DeviceRowDelegate(DeviceListView* view);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    DeviceListView* view_;
    QPixmap infoIcon_;
};

} // namespace nimbrel
