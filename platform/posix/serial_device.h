// The POSIX serial devices: a port number denotes a COMn link in the current folder, or
// /dev/ttyS<n-1> without one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial_device.h"

namespace platform {

// The device port n denotes without a COMn link: /dev/ttyS<n-1>.
std::string defaultSerialDevice(int16_t n);

// Where the link "COMn" in `folder` points, as written; "" when there is none.
std::string comLinkTarget(int16_t n, const std::string& folder = ".");

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

// The group whose members may open device `dev` ("dialout"), or "" when joining none
// would help (no such group, root's, or one without read and write).
std::string deviceGroup(const std::string& dev);

// Points the link "COMn" in `folder` at `target`, replacing an old link in one step so
// that no moment is without one; an empty target removes the link, so the port means
// /dev/ttyS<n-1> again. Throws RuntimeError.
void pointComLink(int16_t n, const std::string& target, const std::string& folder = ".");

}  // namespace platform
