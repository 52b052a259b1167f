#include "CDetectDevicePage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

CDetectDevicePage::CDetectDevicePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    mainLayout = makePageLayout(this, "detectDevicePage", 250, 250);
    statusLabel = makePageLabel(this, "statusLabel",
                                tr("This page will look for the projector on the USB bus. It cannot do that yet."),
                                true);
    mainLayout->addWidget(statusLabel);
    mainLayout->addStretch(1);
}

void CDetectDevicePage::searchTargets()
{
}

void CDetectDevicePage::showChoice()
{
}
