#include "app/device_list_view.h"

#include "app/device_list_model.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace nimbrel {

DeviceListView::DeviceListView(QWidget* parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new DeviceRowDelegate(this));
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
    QListView::mouseMoveEvent(event);
}

void DeviceListView::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    const int row = buttonRowAt(position);
    if (row < 0) {
        QListView::mousePressEvent(event);
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
    QListView::mouseReleaseEvent(event);
}

void DeviceListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (buttonRowAt(event->position().toPoint()) >= 0) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void DeviceListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before && selectionModel()->isSelected(after))
        Q_EMIT rowChosenByKeyboard(after);
}

void DeviceListView::leaveEvent(QEvent* event)
{
    setHoveredButton(-1);
    QListView::leaveEvent(event);
}

DeviceRowDelegate::DeviceRowDelegate(DeviceListView* view)
    : QStyledItemDelegate(view), view_(view),
      infoIcon_(view->style()->standardIcon(QStyle::SP_MessageBoxInformation))
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
    const int iconSize = 24;
    const QRect icon(button.center().x() - iconSize / 2 + 1, button.center().y() - iconSize / 2 + 1,
                     iconSize, iconSize);
    infoIcon_.paint(painter, icon);
    painter->restore();
}

} // namespace nimbrel
