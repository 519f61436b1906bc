#pragma once
// Mouse and keyboard input on the device list as a person gives it: presses, drags and releases
// of any button with modifiers, the context menu, keys. Points are in the list's viewport.

#include "app/device_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QTest>

namespace nimbrel::testing {

class ListGestures {
public:
    explicit ListGestures(DeviceListView* view) : view_(view) {}

    // Inside a row's caption, clear of its information button.
    QPoint caption(int row) const { return rowRect(row).center() - QPoint(60, 0); }
    QPoint infoButton(int row) const
    {
        return view_->infoButtonRect(view_->model()->index(row, 0)).center();
    }
    // Below the last row.
    QPoint emptyPart() const
    {
        const int rows = view_->model()->rowCount();
        const int below = rows == 0 ? 10 : rowRect(rows - 1).bottom() + 20;
        return {view_->viewport()->width() / 2, below};
    }

    void press(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(view_->viewport(), button, modifiers, at);
    }
    void release(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseRelease(view_->viewport(), button, modifiers, at);
    }
    void click(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view_->viewport(), button, modifiers, at);
    }
    // As the platform delivers it: a click, then a press followed by the double-click event,
    // then the release.
    void doubleClick(QPoint at)
    {
        click(Qt::LeftButton, at);
        press(Qt::LeftButton, at);
        QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, at);
        release(Qt::LeftButton, at);
    }
    // A move with the left button held, in steps as a hand gives them.
    void dragTo(QPoint from, QPoint to, Qt::MouseButtons held = Qt::LeftButton)
    {
        constexpr int kSteps = 4;
        for (int step = 1; step <= kSteps; ++step) {
            const QPoint at = from + (to - from) * step / kSteps;
            QMouseEvent move(QEvent::MouseMove, at, view_->viewport()->mapToGlobal(at),
                             Qt::NoButton, held, {});
            QCoreApplication::sendEvent(view_->viewport(), &move);
        }
    }

    // A right click as the platform delivers it: press, the context-menu event, release.
    // Returns the menu that opened (null when none did), still open.
    QMenu* rightClick(QPoint at)
    {
        press(Qt::RightButton, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at,
                                    view_->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view_->viewport(), &menuEvent);
        release(Qt::RightButton, at);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    // Right click, then Escape on the menu, as a person does who opened it by mistake.
    void rightClickAndDismiss(QPoint at)
    {
        if (QMenu* menu = rightClick(at)) {
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!menu->isVisible());
        }
    }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(view_, key, modifiers);
    }
    void type(const QString& text) { QTest::keyClicks(view_, text); }

private:
    QRect rowRect(int row) const { return view_->visualRect(view_->model()->index(row, 0)); }

    DeviceListView* view_;
};

} // namespace nimbrel::testing
