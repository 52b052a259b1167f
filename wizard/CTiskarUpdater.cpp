#include "CTiskarUpdater.h"

#include "CBootRestartPage.h"
#include "CDetectDevicePage.h"
#include "CFinishPage.h"
#include "CUpdatePage.h"
#include "CWelcomePage.h"

#include <utility>

CTiskarUpdater::CTiskarUpdater(const DeviceServices &services, QWidget *parent)
    : CWizardTemplate(parent)
    , deviceServices(services)
{
    initWizard(kPageCount);
}

// An update that outlived its time limit may still be running when the user
// leaves. Nobody will see its outcome, and a technician who unplugs the
// projector would cut it, so it stops at the next packet boundary. It stores
// its result in this wizard when it ends, so wait for it here, while the
// wizard is whole, rather than in the page's destructor, which runs after
// this object's members are gone.
CTiskarUpdater::~CTiskarUpdater()
{
    for (CUpdatePage *page : findChildren<CUpdatePage *>())
        page->abandonUpdate();
}

const DeviceServices &CTiskarUpdater::services() const
{
    return deviceServices;
}

void CTiskarUpdater::setDevice(std::string descriptor)
{
    device = std::move(descriptor);
}

std::string CTiskarUpdater::getDevice() const
{
    return device;
}

QWidget *CTiskarUpdater::newestPage(int index) const
{
    switch (index) {
    case kWelcome:
        return welcomePage;
    case kBootRestart:
        return bootRestartPage;
    case kDetectDevice:
        return detectDevicePage;
    case kUpdate:
        return updatePage;
    case kFinish:
        return finishPage;
    default:
        return nullptr;
    }
}

CWelcomePage *CTiskarUpdater::getWelcomePage() const
{
    return welcomePage;
}

CBootRestartPage *CTiskarUpdater::getBootRestartPage() const
{
    return bootRestartPage;
}

CDetectDevicePage *CTiskarUpdater::getDetectDevicePage() const
{
    return detectDevicePage;
}

CUpdatePage *CTiskarUpdater::getUpdatePage() const
{
    return updatePage;
}

CFinishPage *CTiskarUpdater::getFinishPage() const
{
    return finishPage;
}

QWidget *CTiskarUpdater::createPage(int index)
{
    switch (index) {
    case kWelcome:
        return welcomePage = new CWelcomePage(this);
    case kBootRestart:
        return bootRestartPage = new CBootRestartPage(this);
    case kDetectDevice:
        return detectDevicePage = new CDetectDevicePage(this);
    case kUpdate:
        return updatePage = new CUpdatePage(this);
    case kFinish:
        return finishPage = new CFinishPage(this);
    default:
        return nullptr;
    }
}

void CTiskarUpdater::activatePage(int index)
{
    switch (index) {
    case kWelcome:
        welcomePage->enterPage();
        break;
    case kBootRestart:
        bootRestartPage->enterPage();
        break;
    case kDetectDevice:
        detectDevicePage->searchTargets();
        detectDevicePage->showChoice();
        break;
    case kUpdate:
        updatePage->startUpdate();
        break;
    case kFinish:
        finishPage->enterPage();
        break;
    default:
        break;
    }
}

void CTiskarUpdater::beforeClose()
{
}
