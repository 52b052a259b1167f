#pragma once

#include "CWizardTemplate.h"
#include "DeviceServices.h"

#include <string>

class CWelcomePage;
class CBootRestartPage;
class CDetectDevicePage;
class CUpdatePage;
class CFinishPage;

// The updater wizard: five pages, and the device chosen on the detection
// page for the update.
class CTiskarUpdater : public CWizardTemplate
{
    Q_OBJECT

public:
    // Page indices, in the order Next walks them.
    enum PageIndex : int {
        kWelcome = 0,      // CWelcomePage
        kBootRestart = 1,  // CBootRestartPage
        kDetectDevice = 2, // CDetectDevicePage
        kUpdate = 3,       // CUpdatePage
        kFinish = 4,       // CFinishPage
    };
    static constexpr int kPageCount = kFinish + 1;
    // On a failure the frame's Next jumps to its own fixed finish index.
    static_assert(kFinish == kFinishPageIndex, "the frame's finish index must be this wizard's finish page");

    // Inline so that only a program that really talks to the platform's
    // boards links the platform layer (and its embedded firmware image).
    explicit CTiskarUpdater(QWidget *parent = nullptr)
        : CTiskarUpdater(DeviceServices::platform(), parent)
    {
    }
    // The boards, transport and image the pages and the update work with;
    // they must outlive the wizard.
    explicit CTiskarUpdater(const DeviceServices &services, QWidget *parent = nullptr);
    ~CTiskarUpdater() override;

    const DeviceServices &services() const;

    // The selected board's descriptor; empty until detection stores one.
    void setDevice(std::string descriptor);
    std::string getDevice() const;

    // The newest page made for each index; null until the index is entered.
    // After Back the page on display is the one for getCurrentIndex() - 1.
    QWidget *newestPage(int index) const;
    CWelcomePage *getWelcomePage() const;
    CBootRestartPage *getBootRestartPage() const;
    CDetectDevicePage *getDetectDevicePage() const;
    CUpdatePage *getUpdatePage() const;
    CFinishPage *getFinishPage() const;

protected:
    QWidget *createPage(int index) override;
    void activatePage(int index) override;
    void beforeClose() override;

private:
    const DeviceServices deviceServices;
    CWelcomePage *welcomePage = nullptr;
    CBootRestartPage *bootRestartPage = nullptr;
    CDetectDevicePage *detectDevicePage = nullptr;
    CUpdatePage *updatePage = nullptr;
    CFinishPage *finishPage = nullptr;
    std::string device;
};
