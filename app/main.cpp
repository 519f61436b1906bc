#include "app/tform1.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The devices found outlive the window: they are made before it and destroyed after it.
    nimbrel::DeviceRegistry servers;
    nimbrel::TForm1 Form1(servers);
    Form1.show(); // binds the endpoint; a taken port has been reported by now
    if (Form1.startupFailed())
        return EXIT_FAILURE;
    return application.exec();
}
