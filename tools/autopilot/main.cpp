// tiskar-autopilot [FOLDER]: the wizard's demo without a user. Builds the
// real wizard against the platform's boards, presses its buttons through to
// Finish, prints every page and the progress of the transfer, and saves a
// picture of each page in FOLDER (a new temporary folder when none is given).
// Without a display it draws offscreen.

#include "ApplicationSetup.h"
#include "CAutopilot.h"
#include "CCheckedFirmwareImage.h"
#include "CTiskarUpdater.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

bool hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!hasDisplay() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareDisplayScaling();
    QApplication app(argc, argv);
    prepareApplication();

    QTextStream err(stderr);
    QString folder;
    if (app.arguments().size() > 1) {
        folder = app.arguments().at(1);
    } else {
        QTemporaryDir made(QDir::temp().filePath(QStringLiteral("tiskarupd-pages-XXXXXX")));
        made.setAutoRemove(false);
        folder = made.path();
    }
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        err << "tiskar-autopilot: cannot make the picture folder " << folder << '\n';
        return 1;
    }
    QTextStream(stdout) << "Pictures of the pages: " << QDir(folder).absolutePath() << '\n';

    const DeviceServices platform = DeviceServices::platform();
    logFirmwareImage(*platform.firmware, platform.firmwareSha256);
    CTiskarUpdater wizard(platform);
    wizard.show();
    CAutopilot pilot(wizard, QDir(folder));
    pilot.start();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
