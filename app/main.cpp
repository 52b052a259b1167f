#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The arguments go to the toolkit alone; the wizard has no options.
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TISKARUPD_VERSION));
    // The window has a fixed size; its texts need the font it was laid out for.
    QApplication::setFont(compactDialogFont(QApplication::font()));

    CTiskarUpdater wizard;
    wizard.show();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
