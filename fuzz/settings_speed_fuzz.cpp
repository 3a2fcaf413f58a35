// The serial port's Settings text: a speed is taken only from "speed,n,8,1" with a
// speed the port applies, and exactly that speed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "platform/posix/termios_comm_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto speed = platform::posix::settingsSpeed(text);
    if (!speed) return 0;
    const size_t comma = text.find(',');
    check(comma != std::string_view::npos && comma <= 7);
    const std::string_view rest = text.substr(comma);
    check(rest == ",n,8,1" || rest == ",N,8,1");
    // Leading zeros aside, the speed is the text's number.
    std::string digits(text.substr(0, comma));
    digits.erase(0, digits.find_first_not_of('0'));
    check(digits == std::to_string(*speed));
    check(platform::posix::settingsSpeed(std::to_string(*speed) + ",n,8,1") == speed);
    return 0;
}
