// PORT.DAT: any text reads without fault, and whatever the program can hold, the writer
// writes and the reader reads back equal.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "port_settings/settings_format.h"

namespace {

bool same(const settings::PortSettings& a, const settings::PortSettings& b) {
    return a.port == b.port && a.bps == b.bps && a.folder == b.folder;
}

// The writer has no escaping, so a quotation mark cannot be held.
bool writable(const settings::PortSettings& s) {
    return s.bps.find('"') == std::string::npos && s.folder.find('"') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto read = settings::parse(text); read && writable(*read)) {
        const auto again = settings::parse(settings::format(*read));
        check(again && same(*again, *read));
    }

    // The input as settings: two bytes of port, then the speed and the folder split at
    // the first NUL, quotation marks left out.
    if (size < 2) return 0;
    settings::PortSettings s;
    s.port = static_cast<int16_t>(data[0] | data[1] << 8);
    std::string rest;
    for (char c : text.substr(2))
        if (c != '"') rest += c;
    const size_t nul = rest.find('\0');
    s.bps = rest.substr(0, nul);
    if (nul != std::string::npos) s.folder = rest.substr(nul + 1);
    const std::string file = settings::format(s);
    const auto back = settings::parse(file);
    check(back && same(*back, s));
    check(file.size() >= 8 && file.substr(file.size() - 3) == "\"\r\n");
    return 0;
}
