// The lock against sleep under Wine: made on the transfer's thread, it sets
// that thread's execution state for the transfer and clears it at the end,
// and the log says both.

#include "CSleepInhibitor.h"
#include "WinCheck.h"

#include <QString>
#include <QtGlobal>

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex logLock;
std::vector<std::string> logged; // "category: message"

void record(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    const std::lock_guard<std::mutex> lock(logLock);
    logged.push_back(std::string(context.category ? context.category : "") + ": " + message.toStdString());
}

} // namespace

int main()
{
    qInstallMessageHandler(record);
    EXECUTION_STATE during = 0;
    EXECUTION_STATE after = 0;
    std::thread transfer([&] {
        {
            const CSleepInhibitor awake;
            // Setting the state again gives back the one the thread holds.
            during = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        }
        after = SetThreadExecutionState(ES_CONTINUOUS);
    });
    transfer.join();
    qInstallMessageHandler(nullptr);

    WIN_CHECK_EQ(during, EXECUTION_STATE(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
    WIN_CHECK_EQ(after, EXECUTION_STATE(ES_CONTINUOUS));
    for (const std::string &line : logged)
        std::printf("log: %s\n", line.c_str());
    WIN_CHECK_EQ(logged.size(), std::size_t(2));
    if (logged.size() == 2) {
        WIN_CHECK_EQ(logged[0], std::string("tiskarupd.device: sleep inhibited for the transfer: "
                                            "SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)"));
        WIN_CHECK_EQ(logged[1], std::string("tiskarupd.device: sleep no longer inhibited: "
                                            "SetThreadExecutionState(ES_CONTINUOUS)"));
    }
    return wincheck::finish("win_sleep_inhibitor");
}
