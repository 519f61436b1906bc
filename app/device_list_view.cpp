#include "app/device_list_view.h"

#include "app/device_list_model.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <utility>

namespace nimbrel {

namespace {
constexpr int kRepaintHoldMs = 40;
} // namespace

DeviceListView::DeviceListView(QWidget* parent) : QListView(parent)
{
    setUniformItemSizes(true);
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
    QListView::reset();
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
    // With a button held the view would drag the selection along; only hovering goes on here.
    if (event->buttons() == Qt::NoButton)
        QListView::mouseMoveEvent(event);
    else
        event->accept();
}

void DeviceListView::mousePressEvent(QMouseEvent* event)
{
    // Only the left button selects; the right one opens the list's menu, through its own event.
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint position = event->position().toPoint();
    pressedButtonRow_ = buttonRowAt(position);
    setHoveredButton(pressedButtonRow_);
    const QModelIndex index = indexAt(position);
    pressedRow_ = pressedButtonRow_ < 0 && index.isValid() ? index.row() : -1;
}

void DeviceListView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint position = event->position().toPoint();
    const int buttonRow = buttonRowAt(position);
    const QModelIndex index = indexAt(position);
    const int captionRow = buttonRow < 0 && index.isValid() ? index.row() : -1;
    const int pressedButton = std::exchange(pressedButtonRow_, -1);
    const int pressedCaption = std::exchange(pressedRow_, -1);

    if (pressedButton >= 0 && buttonRow == pressedButton) {
        // The button takes its own clicks: the row's selection stays as it was.
        const QRect button = infoButtonRect(model()->index(buttonRow, 0));
        Q_EMIT infoButtonClicked(buttonRow,
                                 QRect(viewport()->mapToGlobal(button.topLeft()), button.size()));
    } else if (pressedCaption >= 0 && captionRow == pressedCaption) {
        chooseRow(index);
    }
}

void DeviceListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click: its release is a click like the first.
    mousePressEvent(event);
}

void DeviceListView::keyPressEvent(QKeyEvent* event)
{
    // The first arrow key in a list with nothing selected selects the row the keyboard is on
    // (the first one, once the list has focus): the view draws no focus mark, so moving on from
    // it would skip a row the user never saw.
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (arrow && selectedRow() < 0 && model()->rowCount() > 0) {
        chooseRow(currentIndex().isValid() ? currentIndex() : model()->index(0, 0));
        event->accept();
        return;
    }
    const int before = selectedRow();
    QListView::keyPressEvent(event);
    const int after = selectedRow();
    if (after >= 0 && after != before)
        Q_EMIT rowChosen(model()->index(after, 0));
}

QItemSelectionModel::SelectionFlags DeviceListView::selectionCommand(const QModelIndex& index,
                                                                     const QEvent*) const
{
    // Whatever the modifiers (Ctrl+click, Ctrl+Space, Shift+arrows): one whole row, never a
    // toggle that would leave the panel showing a row that is no longer selected.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

int DeviceListView::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void DeviceListView::chooseRow(const QModelIndex& index)
{
    selectionModel()->setCurrentIndex(index, selectionCommand(index, nullptr));
    Q_EMIT rowChosen(index);
}

void DeviceListView::leaveEvent(QEvent* event)
{
    setHoveredButton(-1);
    QListView::leaveEvent(event);
}

DeviceRowDelegate::DeviceRowDelegate(DeviceListView* view)
    : QStyledItemDelegate(view), view_(view),
      infoIcon_(view->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24)),
      warningIcon_(view->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(20, 20))
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
    // A row whose address two devices answer from carries a warning mark before its button.
    const bool conflict = index.data(DeviceListModel::ConflictRole).toBool();
    const QSize mark = warningIcon_.deviceIndependentSize().toSize();
    const int markWidth = conflict ? mark.width() + 8 : 0;
    const QRect caption = row.adjusted(3, 0, -button.width() - markWidth, 0);
    if (conflict)
        painter->drawPixmap(button.left() - markWidth + 4, row.center().y() - mark.height() / 2 + 1,
                            warningIcon_);
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
