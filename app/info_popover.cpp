#include "app/info_popover.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTableView>

namespace nimbrel {

namespace {
constexpr int kGridRows = 5;
constexpr int kGridColumns = 2;
constexpr int kHeaderHeight = 33;
} // namespace

InfoGridModel::InfoGridModel(CellSource source, QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source))
{}

int InfoGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kGridRows;
}

int InfoGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kGridColumns;
}

QVariant InfoGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return source_(index.column(), index.row());
}

void InfoGridModel::refreshColumns()
{
    Q_EMIT dataChanged(index(0, 0), index(kGridRows - 1, kGridColumns - 1));
}

InfoPopover::InfoPopover(InfoGridModel::CellSource source, QWidget* parent)
    : QFrame(parent, Qt::Popup), model_(new InfoGridModel(std::move(source), this))
{
    setObjectName(QStringLiteral("MultiView1"));
    setFrameShape(QFrame::Box);
    resize(201, 150);

    panel_info = new QFrame(this);
    panel_info->setObjectName(QStringLiteral("panel_info"));
    panel_info->setStyleSheet(
        QStringLiteral("QFrame#panel_info { background-color: #003377; border: none; }"));
    label_info = new QLabel(QStringLiteral("Device info."), panel_info);
    label_info->setObjectName(QStringLiteral("label_info"));
    label_info->setAlignment(Qt::AlignCenter);
    label_info->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    grid_info = new QTableView(this);
    grid_info->setObjectName(QStringLiteral("grid_info"));
    grid_info->setModel(model_);
    grid_info->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_info->horizontalHeader()->hide();
    grid_info->verticalHeader()->hide();
    grid_info->horizontalHeader()->setSectionsMovable(true);
    grid_info->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_info->verticalHeader()->setDefaultSectionSize(21);
    grid_info->setColumnWidth(0, 100);
    grid_info->setColumnWidth(1, 100);
    grid_info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_info->setShowGrid(true);
    grid_info->setAlternatingRowColors(true);
    grid_info->setAccessibleName(QStringLiteral("Device information"));
    grid_info->setAccessibleDescription(
        QStringLiteral("Model, identifier, firmware, build and user"));
}

void InfoPopover::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    const QRect inside = contentsRect();
    panel_info->setGeometry(inside.left(), inside.top(), inside.width(), kHeaderHeight);
    label_info->setGeometry(0, 0, inside.width(), kHeaderHeight);
    grid_info->setGeometry(inside.left(), inside.top() + kHeaderHeight, inside.width(),
                           inside.height() - kHeaderHeight);
}

void InfoPopover::openAt(const QRect& anchor)
{
    Q_EMIT startShowing();
    resize(width(), popoverHeight_ > 0 ? popoverHeight_ : height());
    // Below the button, its right edge on the button's, kept on the screen.
    QPoint position(anchor.right() - width() + 1, anchor.bottom() + 1);
    if (const QScreen* screen = QGuiApplication::screenAt(anchor.center())) {
        const QRect area = screen->availableGeometry();
        if (position.y() + height() > area.bottom())
            position.setY(anchor.top() - height());
        position.setX(
            std::clamp(position.x(), area.left(), std::max(area.left(), area.right() - width())));
    }
    move(position);
    show();
}

} // namespace nimbrel
