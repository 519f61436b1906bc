#include "window_driver.h"

#include "app/device_list_model.h"
#include "list_gestures.h"
#include "window_widgets.h"

#include <QTest>

#include <stdexcept>

namespace nimbrel::testing {

QStringList WindowDriver::captions() const
{
    QStringList all;
    const DeviceListModel* model = window_.listModel();
    for (int row = 0; row < model->rowCount(); ++row)
        all << model->index(row).data().toString();
    return all;
}

void WindowDriver::clickRow(int row)
{
    ListGestures list(child<DeviceListView>(window_, "list"));
    list.click(Qt::LeftButton, list.caption(row));
}

void WindowDriver::openPopover(int row)
{
    auto* view = child<DeviceListView>(window_, "list");
    ListGestures list(view);
    QTest::mouseMove(view->viewport(), list.infoButton(row));
    list.click(Qt::LeftButton, list.infoButton(row));
}

void WindowDriver::search()
{
    QTest::mouseClick(child<QPushButton>(window_, "button_refresh"), Qt::LeftButton);
}

void WindowDriver::chooseFromListMenu(const char* entry)
{
    ListGestures list(child<DeviceListView>(window_, "list"));
    QMenu* menu = list.rightClick(list.emptyPart());
    if (menu == nullptr || !QTest::qWaitFor([menu] { return menu->isVisible(); }))
        throw std::runtime_error("the list's context menu did not open");
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(child<QAction>(window_, entry)).center());
}

} // namespace nimbrel::testing
