// Which device each serial port number denotes, and the devices an operator can choose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// The device serial port n denotes: where the symbolic link "COMn" in the current
// directory points, else /dev/ttyS<n-1>.
std::string serialDevice(int16_t n);

// The device port n denotes without a COMn link (/dev/ttyS<n-1> on Linux).
std::string defaultSerialDevice(int16_t n);

// Where this system keeps its device files ("/dev" on Linux), for scanSerialDevices.
std::string serialDeviceRoot();

// Where the link "COMn" in `folder` points, as written; "" when there is none.
std::string comLinkTarget(int16_t n, const std::string& folder = ".");

// "COM5: /dev/ttyUSB0 (present)" or "... (not present)", for the operator; a link
// through /dev/serial/by-id also shows the adapter's name.
std::string describeSerialPort(int16_t n);

// Whether the operator chooses the device behind a port (the PORT dialog's device menu,
// by COMn links); Windows names its ports itself.
bool portDeviceMenu();

// A device an operator can point a port at: `path` is what the COMn link should name,
// `label` the name a person recognises.
struct SerialChoice {
    std::string path;
    std::string label;
};

// The serial devices present under `devRoot` ("/dev" on a real system), opening none: the
// adapters in serial/by-id, by that name (maker, model and serial number) with their
// ttyUSBn or ttyACMn, then the ttySn ports that sysfs under `sysRoot` shows a real UART
// behind. A label says when this user may not open the device, and which group to join.
std::vector<SerialChoice> scanSerialDevices(const std::string& devRoot,
                                            const std::string& sysRoot = "/sys");

// Linux: the group whose members may open device `dev` ("dialout"), or "" when joining none
// would help (no such group, root's, or one without read and write).
std::string deviceGroup(const std::string& dev);

// Points the link "COMn" in `folder` at `target`, replacing an old link in one step so
// that no moment is without one; an empty target removes the link, so the port means
// /dev/ttyS<n-1> again. Throws RuntimeError.
void pointComLink(int16_t n, const std::string& target, const std::string& folder = ".");

}  // namespace platform
