#include "ApplicationSetup.h"
#include "CCheckedFirmwareImage.h"
#include "CTiskarUpdater.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The arguments go to the toolkit alone; the wizard has no options.
    prepareDisplayScaling();
    QApplication app(argc, argv);
    prepareApplication();
    const DeviceServices platform = DeviceServices::platform();
    logFirmwareImage(*platform.firmware, platform.firmwareSha256);

    CTiskarUpdater wizard(platform);
    wizard.show();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
