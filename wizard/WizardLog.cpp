#include "WizardLog.h"

#include "DeviceLog.h"

Q_LOGGING_CATEGORY(lcWizard, "tiskarupd.wizard")
Q_LOGGING_CATEGORY(lcDevice, "tiskarupd.device")

void routeDeviceLogToQt()
{
    setDeviceLogSink([](DeviceLogLevel level, const std::string &line) {
        const QString text = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
        if (level == DeviceLogLevel::Warning)
            qCWarning(lcDevice).noquote() << text;
        else
            qCInfo(lcDevice).noquote() << text;
    });
}
