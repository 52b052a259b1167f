#pragma once

#include <chrono>

// The wait left until `deadline` as poll() takes it: 0 once it has passed,
// otherwise rounded up, so the last wait does not spin on a sub-millisecond
// rest.
inline int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left > 0 ? int(left) + 1 : 0;
}
