#pragma once

#include "SpawnedProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private system bus for this test process, and on it, when asked for,
// python3-dbusmock's stand-in logind, which lists each inhibitor lock as long
// as its descriptor is open anywhere. The bus takes the machine's place for
// the whole process, so it is started before anything uses the system bus.
// Both programs are ended when this goes, or when the test process dies.
class CLogindStandIn
{
public:
    CLogindStandIn() = default;
    ~CLogindStandIn();

    CLogindStandIn(const CLogindStandIn &) = delete;
    CLogindStandIn &operator=(const CLogindStandIn &) = delete;

    // Starts the bus and points DBUS_SYSTEM_BUS_ADDRESS at it.
    bool startBus();
    // Starts logind on it and waits until its name is on the bus.
    bool startLogind();
    // Ends logind and waits until its name has gone from the bus.
    bool stopLogind();

    // The locks logind holds, each "what|who|why|mode", as its
    // ListInhibitors reports them; "no answer: ..." when it does not answer.
    QStringList inhibitors() const;

private:
    QTemporaryDir m_dir;
    SpawnedProcess m_bus;
    SpawnedProcess m_logind;
};
