#include "ApplicationSetup.h"

#include "PageWidgets.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QTranslator>

namespace {

// The compiled catalogues are embedded as :/i18n/tiskarupd_<locale>.qm.
constexpr char kCatalogueName[] = "tiskarupd";
constexpr char kCatalogueFolder[] = ":/i18n";

} // namespace

void prepareApplication()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(TISKARUPD_VERSION));

    // Without a catalogue for the locale the English texts stay.
    auto *translator = new QTranslator(qApp);
    if (translator->load(QLocale(), QLatin1String(kCatalogueName), QStringLiteral("_"),
                         QLatin1String(kCatalogueFolder)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;

    // The window has a fixed size; its texts need the font it was laid out for.
    QApplication::setFont(compactDialogFont(QApplication::font()));
}
