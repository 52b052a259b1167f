#include "ApplicationSetup.h"

#include "PageWidgets.h"
#include "WizardLog.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QLocale>
#include <QTranslator>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include "CWholePixelTextStyle.h"
#endif

namespace {

// The compiled catalogues are embedded as :/i18n/tiskarupd_<locale>.qm.
constexpr char kCatalogueName[] = "tiskarupd";
constexpr char kCatalogueFolder[] = ":/i18n";

} // namespace

void prepareDisplayScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 does all three by itself.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

void prepareWindowLook()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 5's texts lose their first column at 125 % and 150 %, and their
    // words run together or fall apart at 125 % to 200 %, otherwise; the
    // platform's own style does all else.
    QApplication::setStyle(new CWholePixelTextStyle);
#endif
    // The window has a fixed size; its texts need the font it was laid out for.
    QApplication::setFont(compactDialogFont(QApplication::font()));
}

void prepareApplication()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(TISKARUPD_VERSION));
    // Support reads these lines to tell why an update failed; the journal
    // stamps them itself, a terminal needs the time.
    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{category} %{type}: %{message}"));
    routeDeviceLogToQt();
    qCInfo(lcWizard).noquote() << "TiskarUpd" << QCoreApplication::applicationVersion() << "started";

    // Without a catalogue for the locale the English texts stay.
    auto *translator = new QTranslator(qApp);
    if (translator->load(QLocale(), QLatin1String(kCatalogueName), QStringLiteral("_"),
                         QLatin1String(kCatalogueFolder)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;

    prepareWindowLook();
    // What the platform matched for it: a face of another line height cuts
    // the pages' texts off.
    const QFontInfo chosen(QApplication::font());
    qCInfo(lcWizard).noquote() << "font" << chosen.family() << chosen.pointSizeF() << "pt," << chosen.pixelSize()
                               << "px, asked for" << QApplication::font().family();
}
