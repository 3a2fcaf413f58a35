#include "download/frame_check.h"

#include <cstdint>

namespace frame {

namespace {
// A nibble character carries its value in the low four bits of its code.
inline uint32_t nibble(char c) {
    return static_cast<unsigned char>(c) & 15u;
}
inline char nibbleChar(unsigned v) {
    return static_cast<char>(0x30 + (v & 15u));
}
}  // namespace

bool check(std::string_view line, std::string_view* record) {
    // A line shorter than four characters can never have length N + 4.
    if (line.size() < 4) return false;
    const uint32_t n = nibble(line[0]) * 16 + nibble(line[1]);
    const uint32_t k = nibble(line[line.size() - 2]) * 16 + nibble(line[line.size() - 1]);
    if (line.size() != n + 4) return false;
    uint32_t sum = 0;
    for (size_t i = 2; i < n + 2; ++i) sum += static_cast<unsigned char>(line[i]);
    if ((sum & 255u) != k) return false;
    if (record) *record = line.substr(2, n);
    return true;
}

Kind kindOf(std::string_view record) {
    if (record.substr(0, 2) == "ST") return Kind::Start;
    if (record.substr(0, 2) == "EN") return Kind::End;
    return Kind::Lap;
}

std::string encode(std::string_view record) {
    const unsigned n = static_cast<unsigned>(record.size()) & 255u;
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += static_cast<unsigned char>(record[i]);
    sum &= 255u;
    std::string line;
    line.reserve(n + 4);
    line += nibbleChar(n >> 4);
    line += nibbleChar(n);
    line.append(record.substr(0, n));
    line += nibbleChar(sum >> 4);
    line += nibbleChar(sum);
    return line;
}

}  // namespace frame
