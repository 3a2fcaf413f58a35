#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The device serial port n denotes: where the symbolic link "COMn" in the current
// directory points, else /dev/ttyS<n-1>.
std::string serialDevice(int16_t n);

// "COM5: /dev/ttyUSB0 (present)" or "... (not present)", for the operator.
std::string describeSerialPort(int16_t n);

}  // namespace platform
