#pragma once

#include "IDeviceIo.h"

#include <string>

// The two fixed waits of the identity query: the one in which the query is
// written, and the one in which the reply must arrive.
constexpr int kQueryPauseMs = 500;

// Asks the board at `path` for its name with a 'Q' command. Takes the two
// pauses whatever the board does; an empty name means no board answered.
std::string queryTargetName(IDeviceIo &io, const std::string &path);
