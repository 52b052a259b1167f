#include "CTiskarUpdater.h"
#include "PageWidgets.h"
#include "WizardLog.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The arguments go to the toolkit alone; the wizard has no options.
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TISKARUPD_VERSION));
    // Support reads these lines to tell why an update failed; the journal
    // stamps them itself, a terminal needs the time.
    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{category} %{type}: %{message}"));
    routeDeviceLogToQt();
    qCInfo(lcWizard).noquote() << "TiskarUpd" << QCoreApplication::applicationVersion() << "started";
    // The window has a fixed size; its texts need the font it was laid out for.
    QApplication::setFont(compactDialogFont(QApplication::font()));

    CTiskarUpdater wizard;
    wizard.show();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
