#pragma once
// The device list: one painted row per device, with an information button at its right end.
// Rows are painted by a delegate rather than built from widgets, and every row has the same
// height, so laying out the list measures no row: adding a device to a list of thousands costs
// little more than adding it to a list of ten. Each button knows its own row.
//
// The view alone decides when the selection moves, and it says so through rowChosen: the window
// loads the chosen row into the settings panel at that moment, so the selected row, the
// highlighted row and the settings shown are always one device. A row is chosen by a left click
// (press and release on the same row, whatever the modifiers) or by the keyboard (arrows, Home,
// End, Page Up/Down, type-ahead, Space). Other buttons, drags between rows and clicks on a row's
// information button never move the selection, and nothing unselects a row.

#include <QListView>
#include <QStyledItemDelegate>
#include <QTimer>

namespace nimbrel {

class DeviceListView : public QListView {
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
    // The user selected this row, with the mouse or the keyboard (also when it was selected
    // already and was clicked again).
    void rowChosen(const QModelIndex& index);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    int buttonRowAt(const QPoint& position) const;
    void setHoveredButton(int row);
    int selectedRow() const;
    void chooseRow(const QModelIndex& index);

    int hoveredButton_ = -1;
    // Where the left button went down: a row's caption or a row's information button (-1: none).
    // A click is a press and a release on the same one of these.
    int pressedRow_ = -1;
    int pressedButtonRow_ = -1;
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
    QPixmap warningIcon_;
};

} // namespace nimbrel
