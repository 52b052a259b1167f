#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A child program started with posix_spawn, never fork: a test process may
// already run threads (a sanitizer forbids forking it then), and a forked
// copy of a large test process costs more than a fresh program.
struct SpawnedProcess
{
    pid_t pid = -1;
    int output = -1; // read end of the child's standard output, non-blocking
};

// Starts `program` with `arguments` (without argv[0]); its standard output
// goes to a pipe, its standard error is this process's. False when it could
// not be started; nothing is left open then.
bool spawnWithOutputPipe(const std::string &program, const std::vector<std::string> &arguments,
                         SpawnedProcess *process);

// Waits up to `timeoutMs` for the child to end and reaps it. Its exit code,
// -1 when it was ended by a signal, or -2 when it still runs.
int waitForExit(pid_t pid, int timeoutMs);

// Sends `signal` to the child and waits up to `timeoutMs` for it to end;
// one that has not by then is killed. Its exit code, or -1 when a signal
// ended it.
int endProcess(pid_t pid, int signal, int timeoutMs);
