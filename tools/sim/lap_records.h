// Lap records as the logger holds them, made up but plausible and repeatable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// `count` lap records, the same for the same `session`: sessions of laps, each line
// "LLL  M:SS.mmm" (or "LLL  SS.mmm" under a minute), lap numbers restarting at 001 with
// each session, out-laps slower, the session's best lap marked with a trailing "*".
std::vector<std::string> lapRecords(int count, uint64_t session);

}  // namespace sim
