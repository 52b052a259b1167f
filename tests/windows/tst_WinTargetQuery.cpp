// The identity query through the real Windows calls, against named pipes
// that a test thread serves overlapped in the board's place.

#include "BoardProtocol.h"
#include "ITargetAccess.h"
#include "TargetQuery.h"
#include "WinCheck.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kNoReply = INFINITE;
constexpr DWORD kServerWaitMs = 5000;

// One pipe instance that takes the query and answers it (or not), then
// waits for the client to go away.
class CPipeBoard
{
public:
    CPipeBoard(const std::string &name, std::string boardName, DWORD replyDelayMs)
        : path("\\\\.\\pipe\\tiskar-test-" + name + "-" + std::to_string(GetCurrentProcessId()))
        , m_name(std::move(boardName))
        , m_replyDelayMs(replyDelayMs)
    {
        m_pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE | PIPE_WAIT,
                                  1, 4096, 4096, 0, nullptr);
        m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this] { serve(); });
    }

    ~CPipeBoard()
    {
        finish();
        CloseHandle(m_event);
        CloseHandle(m_pipe);
    }

    // Waits until the board has seen the client go (or given up waiting).
    void finish()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    const std::string path;
    std::vector<uint8_t> received;
    bool replyWritten = false;   // the whole reply went into the pipe
    bool clientWentAway = false; // the client's handle was closed
    bool pipeCreated() const { return m_pipe != INVALID_HANDLE_VALUE; }

private:
    // Waits for an overlapped call on the pipe; the bytes moved, or -1.
    long wait(BOOL done, DWORD timeoutMs)
    {
        DWORD moved = 0;
        if (!done && GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_PIPE_CONNECTED)
            return -1;
        if (!done && GetLastError() == ERROR_PIPE_CONNECTED)
            return 0;
        if (WaitForSingleObject(m_event, timeoutMs) != WAIT_OBJECT_0) {
            CancelIoEx(m_pipe, &m_overlapped);
            GetOverlappedResult(m_pipe, &m_overlapped, &moved, TRUE);
            return -1;
        }
        return GetOverlappedResult(m_pipe, &m_overlapped, &moved, FALSE) ? long(moved) : -1;
    }

    void reset()
    {
        m_overlapped = OVERLAPPED{};
        m_overlapped.hEvent = m_event;
        ResetEvent(m_event);
    }

    void serve()
    {
        reset();
        if (wait(ConnectNamedPipe(m_pipe, &m_overlapped), kServerWaitMs) < 0)
            return;
        uint8_t query[board::kCommandHeaderSize];
        std::size_t got = 0;
        while (got < sizeof query) {
            reset();
            const long n = wait(ReadFile(m_pipe, query + got, DWORD(sizeof query - got), nullptr, &m_overlapped),
                                kServerWaitMs);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        received.assign(query, query + got);
        if (m_replyDelayMs != kNoReply) {
            Sleep(m_replyDelayMs);
            const auto reply = board::identityReply(m_name, true);
            reset();
            // clang-format off
            replyWritten = wait(WriteFile(m_pipe, reply.data(), DWORD(reply.size()), nullptr, &m_overlapped),
                                kServerWaitMs) == long(reply.size());
            // clang-format on
        }
        // The client's close ends the pipe: a read then fails as broken.
        uint8_t rest[64];
        reset();
        const BOOL done = ReadFile(m_pipe, rest, sizeof rest, nullptr, &m_overlapped);
        clientWentAway = !done && GetLastError() == ERROR_BROKEN_PIPE;
        if (!clientWentAway && wait(done, kServerWaitMs) < 0)
            clientWentAway = GetLastError() == ERROR_BROKEN_PIPE;
        DisconnectNamedPipe(m_pipe);
    }

    std::string m_name;
    DWORD m_replyDelayMs;
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
    OVERLAPPED m_overlapped{};
    std::thread m_thread;
};

long long elapsedMs(Clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

const std::vector<uint8_t> kQueryBytes(board::kIdentityQuery.begin(), board::kIdentityQuery.end());

struct Row
{
    const char *what;
    const char *boardName;
    DWORD replyDelayMs;
    const char *expectedName;
};

void pipeBoards()
{
    const Row rows[] = {
        {"an answering board gives its name", "PJ-Velvane 9", 100, "PJ-Velvane 9"},
        {"a name with blanks and parentheses comes verbatim", "PJ (rev B) : 2", 0, "PJ (rev B) : 2"},
        {"an answer late in the second pause still counts", "late but in time", 800, "late but in time"},
        {"a silent board gives no name", "", kNoReply, ""},
        {"an answer after the second pause does not count", "too late", 1300, ""},
    };
    int index = 0;
    for (const Row &row : rows) {
        std::printf("  row: %s\n", row.what);
        CPipeBoard board("board" + std::to_string(index++), row.boardName, row.replyDelayMs);
        WIN_CHECK(board.pipeCreated());
        const Clock::time_point start = Clock::now();
        const std::string name = platformTargetAccess().queryTargetName(board.path);
        const long long took = elapsedMs(start);
        board.finish();
        WIN_CHECK_EQ(name, std::string(row.expectedName));
        WIN_CHECK(board.received == kQueryBytes);
        // Both pauses, whatever the board does.
        WIN_CHECK(took >= 2 * kQueryPauseMs);
        // The handle was closed before the query returned; a reply that
        // came too late found no reader.
        WIN_CHECK(board.clientWentAway);
        if (row.replyDelayMs > 2 * kQueryPauseMs && row.replyDelayMs != kNoReply)
            WIN_CHECK(!board.replyWritten);
    }
}

// Wine counts no handles (GetProcessHandleCount gives 0), so what stays
// open is seen from the board's side only: the pipe rows above.
void missingPathGivesNoName()
{
    const std::string path = "\\\\.\\pipe\\tiskar-test-missing-" + std::to_string(GetCurrentProcessId());
    const Clock::time_point start = Clock::now();
    const std::string name = platformTargetAccess().queryTargetName(path);
    WIN_CHECK(elapsedMs(start) >= 2 * kQueryPauseMs);
    WIN_CHECK_EQ(name, std::string());
}

} // namespace

int main()
{
    pipeBoards();
    missingPathGivesNoName();
    return wincheck::finish("win_target_query");
}
