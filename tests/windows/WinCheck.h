#pragma once

// A minimal check harness for the test programs that run under Wine (Qt Test
// is not built for MinGW here). A failed check prints where and what, and
// the program's exit code is the number of failures.

#include <cstdio>
#include <sstream>
#include <string>

namespace wincheck {

inline int &failures()
{
    static int count = 0;
    return count;
}

inline void fail(const char *file, int line, const std::string &what)
{
    std::fprintf(stderr, "FAIL %s:%d: %s\n", file, line, what.c_str());
    ++failures();
}

template <typename A, typename B>
void equal(const A &actual, const B &expected, const char *text, const char *file, int line)
{
    if (actual == expected)
        return;
    std::ostringstream what;
    what << text << ": got " << actual << ", expected " << expected;
    fail(file, line, what.str());
}

// Reports the result and gives the exit code.
inline int finish(const char *program)
{
    std::printf("%s: %s (%d failed checks)\n", program, failures() ? "FAILED" : "passed", failures());
    return failures();
}

} // namespace wincheck

#define WIN_CHECK(cond)                                \
    do {                                               \
        if (!(cond))                                   \
            wincheck::fail(__FILE__, __LINE__, #cond); \
    } while (0)
#define WIN_CHECK_EQ(actual, expected) wincheck::equal((actual), (expected), #actual, __FILE__, __LINE__)
