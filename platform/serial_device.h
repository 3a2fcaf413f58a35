// Which device each serial port number denotes, and the PORT dialog's device menu.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The device serial port n denotes, as the system names it to open and to lock.
std::string serialDevice(int16_t n);

// "COM5: ... (present)" or "... (not present)", for the operator: the device behind port n,
// and how to choose another where the operator may.
std::string describeSerialPort(int16_t n);

// The devices the operator may point port n at, by the names a person recognises, the
// port's own default last, with the one it points at now checked. Empty where the system
// names its ports itself (Windows): the PORT dialog then offers no menu.
struct DeviceMenu {
    std::vector<std::string> items;
    int checked = -1;
    // Points the port at items[i]. Throws RuntimeError.
    std::function<void(size_t)> choose;
};

// The menu for port n from the devices under `devRoot`; the system's own when empty.
DeviceMenu deviceMenu(int16_t n, const std::string& devRoot);

}  // namespace platform
