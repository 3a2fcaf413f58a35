// The serial port devices Windows knows (SetupAPI), and what the PORT dialog tells of one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::win32 {

struct PortDevice {
    std::string portName;      // "COM5"
    std::string friendlyName;  // "USB Serial Port (COM5)"
    std::string hardwareId;    // "FTDIBUS\COMPORT&VID_0403&PID_6001"
    bool present = false;
    // FTDI's driver: how long the adapter holds received bytes, in ms ("LatencyTimer" of
    // the device's parameters).
    std::optional<unsigned long> latencyTimer;
};

// Every serial port device, the present ones first, then all (a port may show twice).
std::vector<PortDevice> systemPortDevices();

// "COM5: USB Serial Port (COM5) (present)" for port n among `devices`; a port no device
// stands for is present when `dosName()` says the name exists. An FTDI adapter that holds
// received bytes longer than 2 ms adds how to lower its latency timer; a present adapter
// above COM12, which no port number reaches, adds how to renumber it.
std::string describePort(int16_t n, const std::vector<PortDevice>& devices,
                         const std::function<bool()>& dosName);

}  // namespace platform::win32
