#include "ApplicationSetup.h"
#include "CTiskarUpdater.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The arguments go to the toolkit alone; the wizard has no options.
    prepareDisplayScaling();
    QApplication app(argc, argv);
    prepareApplication();

    CTiskarUpdater wizard;
    wizard.show();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
