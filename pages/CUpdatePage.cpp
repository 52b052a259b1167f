#include "CUpdatePage.h"

#include "CTiskarUpdater.h"
#include "PageWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

CUpdatePage::CUpdatePage(CTiskarUpdater *owner)
    : QWidget(nullptr)
    , wizard(owner)
{
    layout = makePageLayout(this, "updatePage", 250, 250);
    statusLabel = makePageLabel(this, "statusLabel",
                                tr("This page will send the firmware to the projector. It cannot do that yet."),
                                true);
    layout->addWidget(statusLabel);
    layout->addStretch(1);
}

void CUpdatePage::startUpdate()
{
}
