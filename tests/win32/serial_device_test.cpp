// The PORT dialog's tooltip on Windows, on devices as SetupAPI would list them.
#include <gtest/gtest.h>

#include "platform/win32/win32_serial_device.h"

namespace {

using platform::win32::PortDevice;

const std::string Slow =
    "\nThe adapter holds received bytes up to 16 ms, which slows a download: set its Latency "
    "Timer to 1 ms in Device Manager (the port's Properties, Port Settings, Advanced).";

}  // namespace

TEST(PortTooltip, NamesTheDeviceAndTellsOfASlowFtdiAdapterAndOneAboveCom12) {
    const std::vector<PortDevice> devices = {
        {"COM5", "USB Serial Port (COM5)", "FTDIBUS\\COMPORT&VID_0403&PID_6001", true, 16},
        {"COM6", "USB Serial Port (COM6)", "ftdibus\\COMPORT&VID_0403&PID_6015", true, 2},
        {"COM7", "USB Serial Port (COM7)", "FTDIBUS\\COMPORT&VID_0403&PID_6001", true, {}},
        // Another maker's driver may keep a value of that name: it means nothing there.
        {"COM8", "Prolific USB-to-Serial (COM8)", "USB\\VID_067B&PID_2303", true, 16},
        {"com9", "Communications Port (COM9)", "ACPI\\PNP0501", false, {}},
        {"COM9", "a second, absent entry", "ACPI\\PNP0501", false, {}},
        // Out of the dialog's reach: told of on every port, when present.
        {"COM13", "USB Serial Device (COM13)", "USB\\VID_2341&PID_0043", true, {}},
        {"COM14", "an unplugged adapter (COM14)", "USB\\VID_2341&PID_0043", false, {}},
    };
    const std::string Far =
        "\nUSB Serial Device (COM13) is present, but COM13 is out of reach: give it a number "
        "from 1 to 12 in Device Manager (the port's Properties, Port Settings, Advanced, COM "
        "Port Number).";
    const struct {
        int16_t port;
        bool dosName;
        std::string says;
    } cases[] = {
        {5, false, "COM5: USB Serial Port (COM5) (present)" + Slow + Far},
        {6, false, "COM6: USB Serial Port (COM6) (present)" + Far},  // 2 ms is fast enough
        {7, false, "COM7: USB Serial Port (COM7) (present)" + Far},  // no timer to read
        {8, false, "COM8: Prolific USB-to-Serial (COM8) (present)" + Far},
        {9, true, "COM9: Communications Port (COM9) (not present)" + Far},  // the first entry
        {3, true, "COM3: \\\\.\\COM3 (present)" + Far},  // mapped, not Plug and Play
        {4, false, "COM4: \\\\.\\COM4 (not present)" + Far},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::win32::describePort(c.port, devices, [&] { return c.dosName; }),
                  c.says);
}
