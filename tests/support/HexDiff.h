#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Renders two byte strings side by side, 16 bytes a row, with a marker on
// every row where they differ; for test failure messages. Empty when the
// two are equal.
std::string hexDiff(const std::vector<uint8_t> &expected, const std::vector<uint8_t> &actual);

// "53 51 00 ..." for short byte strings in messages.
std::string hexBytes(const std::vector<uint8_t> &bytes);
