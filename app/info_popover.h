#pragma once
// The device-information pop-over: a header "Device info." over a read-only grid of five facts.
// The grid holds no data of its own; it asks for each cell through a callback.

#include <QAbstractTableModel>
#include <QFrame>

#include <functional>

class QLabel;
class QTableView;

namespace nimbrel {

class InfoGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using CellSource = std::function<QString(int column, int row)>;
    explicit InfoGridModel(CellSource source, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Every cell is asked for again.
    void refreshColumns();

private:
    CellSource source_;
};

class InfoPopover : public QFrame {
    Q_OBJECT
public:
    InfoPopover(InfoGridModel::CellSource source, QWidget* parent);

    void setPopoverHeight(int height) { popoverHeight_ = height; }
    int popoverHeight() const { return popoverHeight_; }
    // Opens against the anchor (global coordinates), raising startShowing() first.
    void openAt(const QRect& anchor);
    InfoGridModel* gridModel() const { return model_; }

Q_SIGNALS:
    void startShowing();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QFrame* panel_info;
    QLabel* label_info;
    QTableView* grid_info;
    InfoGridModel* model_;
    int popoverHeight_ = 0;
};

} // namespace nimbrel
