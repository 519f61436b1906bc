#include "app/device_list_view.h"

#include "app/device_list_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace nimbrel {

namespace {
constexpr int kRepaintHoldMs = 40;
} // namespace

DeviceListView::DeviceListView(QWidget* parent) : QTableView(parent)
{
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new DeviceRowDelegate(this));

    repaintHold_.setSingleShot(true);
    repaintHold_.setInterval(kRepaintHoldMs);
    connect(&repaintHold_, &QTimer::timeout, this, [this] { setUpdatesEnabled(true); });
}

void DeviceListView::reset()
{
    QTableView::reset();
    // A burst of answers rebuilds the list for every device that answers; painting the rows each
    // time would keep the window busy for seconds. Rebuilds within a moment share one repaint.
    if (!repaintHold_.isActive()) {
        setUpdatesEnabled(false);
        repaintHold_.start();
    }
}

QRect DeviceListView::infoButtonRect(const QModelIndex& index) const
{
    const QRect row = visualRect(index);
    return {row.right() - row.height() + 1, row.top(), row.height(), row.height()};
}

int DeviceListView::buttonRowAt(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid() || !infoButtonRect(index).contains(position))
        return -1;
    return index.row();
}

void DeviceListView::setHoveredButton(int row)
{
    if (row == hoveredButton_)
        return;
    hoveredButton_ = row;
    viewport()->update();
    if (row >= 0)
        Q_EMIT infoButtonEntered(row);
}

void DeviceListView::mouseMoveEvent(QMouseEvent* event)
{
    setHoveredButton(buttonRowAt(event->position().toPoint()));
    QTableView::mouseMoveEvent(event);
}

void DeviceListView::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    const int row = buttonRowAt(position);
    if (row < 0) {
        QTableView::mousePressEvent(event);
        return;
    }
    // The button takes its own clicks: the row's selection stays as it was.
    setHoveredButton(row);
    if (event->button() == Qt::LeftButton) {
        const QRect button = infoButtonRect(model()->index(row, 0));
        Q_EMIT infoButtonClicked(row,
                                 QRect(viewport()->mapToGlobal(button.topLeft()), button.size()));
    }
    event->accept();
}

void DeviceListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (buttonRowAt(event->position().toPoint()) >= 0) {
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void DeviceListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (buttonRowAt(event->position().toPoint()) >= 0) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void DeviceListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before && selectionModel()->isSelected(after))
        Q_EMIT rowChosenByKeyboard(after);
}

void DeviceListView::leaveEvent(QEvent* event)
{
    setHoveredButton(-1);
    QTableView::leaveEvent(event);
}

DeviceRowDelegate::DeviceRowDelegate(DeviceListView* view)
    : QStyledItemDelegate(view), view_(view),
      infoIcon_(view->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24))
{}

QSize DeviceRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width(), DeviceListView::kRowHeight};
}

void DeviceRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    painter->save();
    const QRect row = option.rect;
    painter->setPen(index.data(DeviceListModel::StrokeColorRole).value<QColor>());
    painter->setBrush(index.data(Qt::BackgroundRole).value<QColor>());
    painter->drawRect(row.adjusted(0, 0, -1, -1));

    const QRect button = view_->infoButtonRect(index);
    const QRect caption = row.adjusted(3 + 4, 0, -button.width(), 0);
    painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight,
                                                        caption.width()));

    if (view_->hoveredButtonRow() == index.row()) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, 24));
        painter->drawRoundedRect(button.adjusted(6, 6, -6, -6), 4, 4);
    }
    const QSize icon = infoIcon_.deviceIndependentSize().toSize();
    painter->drawPixmap(button.center().x() - icon.width() / 2 + 1,
                        button.center().y() - icon.height() / 2 + 1, infoIcon_);
    painter->restore();
}

} // namespace nimbrel
