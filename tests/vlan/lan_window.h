#pragma once
// The real window with the program's own endpoint settings (0.0.0.0, port 12340, broadcasts to
// 255.255.255.255), for the tests that run inside the virtual LAN's tool namespace.

#include "app/tform1.h"
#include "devices/device_registry.h"
#include "window_driver.h"

#include <QStringList>

#include <stdexcept>
#include <string>

namespace nimbrel::testing {

struct LanWindow {
    LanWindow() : form(servers)
    {
        form.show();
        if (form.startupFailed())
            throw std::runtime_error("the window could not bind port 12340");
    }
    ~LanWindow() { form.close(); }
    LanWindow(const LanWindow&) = delete;
    LanWindow& operator=(const LanWindow&) = delete;

    QStringList captions() { return WindowDriver(form).captions(); }
    void clickRow(int row) { WindowDriver(form).clickRow(row); }
    void search() { WindowDriver(form).search(); }

    DeviceRegistry servers;
    TForm1 form;
};

} // namespace nimbrel::testing
