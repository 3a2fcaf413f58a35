// The download frame: count (2 nibble characters), payload, checksum (2 nibble characters).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace frame {

// The longest record a frame carries, and the longest line: count, record, checksum.
constexpr size_t MaxRecord = 255;
constexpr size_t MaxLine = 2 + MaxRecord + 2;

// Checks one received line (without its CR). On success `record` is the payload.
bool check(std::string_view line, std::string_view* record = nullptr);

enum class Kind { Start, End, Lap };
// By the first two characters, case-sensitive: "ST" start, "EN" end, else a lap.
Kind kindOf(std::string_view record);

// The line the logger sends for `record` (at most MaxRecord bytes), without the CR.
std::string encode(std::string_view record);

}  // namespace frame
