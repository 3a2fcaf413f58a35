#pragma once

#include <optional>
#include <string_view>

namespace platform::serial {

// The line speed of a Settings text "speed,parity,data bits,stop bits" when the rest is
// what every port here applies: n (either case), 8 and 1. Whether the speed is one the
// device takes is the port's to judge.
std::optional<unsigned> settingsBaud(std::string_view settings);

}  // namespace platform::serial
