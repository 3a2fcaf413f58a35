#include "platform/serial/settings_text.h"

#include <vector>

namespace platform::serial {

std::optional<unsigned> settingsBaud(std::string_view s) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t comma = s.find(',', start);
        parts.push_back(s.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 4) return std::nullopt;
    const auto speed = parts[0];
    if (speed.empty() || speed.size() > 7) return std::nullopt;
    unsigned baud = 0;
    for (char c : speed) {
        if (c < '0' || c > '9') return std::nullopt;
        baud = baud * 10 + static_cast<unsigned>(c - '0');
    }
    if (parts[1] != "n" && parts[1] != "N") return std::nullopt;
    if (parts[2] != "8" || parts[3] != "1") return std::nullopt;
    return baud;
}

}  // namespace platform::serial
