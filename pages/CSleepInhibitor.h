#pragma once

// Keeps the computer from suspending while it lives: a laptop that sleeps in
// mid-transfer cuts the USB link and leaves the board half-written. The burn
// thread holds one for the transfer. On Linux it is a logind inhibitor lock
// against sleep and idle; on Windows the thread's execution state, so it is
// made and destroyed on the transfer's thread. Where the system gives no
// lock, the transfer goes on without one. Both ends are logged.
class CSleepInhibitor
{
public:
    CSleepInhibitor();
    ~CSleepInhibitor();

    CSleepInhibitor(const CSleepInhibitor &) = delete;
    CSleepInhibitor &operator=(const CSleepInhibitor &) = delete;

private:
    bool m_held = false;
    int m_lockFd = -1; // Linux: logind holds the lock while this stays open
};
