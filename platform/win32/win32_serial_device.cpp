// Port n is \\.\COMn; the PORT dialog names the device behind it as Device Manager does.
#include <windows.h>
// setupapi.h needs windows.h first.
#include <devguid.h>
#include <setupapi.h>

#include "platform/win32/win32_serial_device.h"

#include "platform/serial_device.h"
#include "platform/win32/wide.h"

namespace platform {

namespace win32 {

namespace {

std::string registryText(HKEY key, const wchar_t* value) {
    wchar_t buf[256];
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "";
    buf[size / sizeof(wchar_t)] = L'\0';
    return narrow(buf);
}

std::optional<unsigned long> registryNumber(HKEY key, const wchar_t* value) {
    DWORD n = 0, size = sizeof n, type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&n), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return n;
}

// A device property as text; the first string of a list (SPDRP_HARDWAREID).
std::string deviceText(HDEVINFO set, SP_DEVINFO_DATA& info, DWORD property) {
    wchar_t buf[256] = {};
    SetupDiGetDeviceRegistryPropertyW(set, &info, property, nullptr, reinterpret_cast<BYTE*>(buf),
                                      sizeof buf - sizeof(wchar_t), nullptr);
    return narrow(buf);
}

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, s.c_str(), int(prefix.size()),
                          prefix.c_str(), int(prefix.size())) == CSTR_EQUAL;
}

}  // namespace

std::vector<PortDevice> systemPortDevices() {
    std::vector<PortDevice> devices;
    for (const DWORD flags : {DWORD(DIGCF_PRESENT), DWORD(0)}) {
        HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, flags);
        if (set == INVALID_HANDLE_VALUE) continue;
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
            // The device's parameters, read only: the port's name, and FTDI's timer.
            HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            if (key == INVALID_HANDLE_VALUE) continue;
            PortDevice d;
            d.portName = registryText(key, L"PortName");
            d.latencyTimer = registryNumber(key, L"LatencyTimer");
            RegCloseKey(key);
            d.friendlyName = deviceText(set, info, SPDRP_FRIENDLYNAME);
            d.hardwareId = deviceText(set, info, SPDRP_HARDWAREID);
            d.present = flags == DIGCF_PRESENT;
            devices.push_back(std::move(d));
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    return devices;
}

std::string describePort(int16_t n, const std::vector<PortDevice>& devices,
                         const std::function<bool()>& dosName) {
    const std::string port = "COM" + std::to_string(n);
    const PortDevice* device = nullptr;
    for (const PortDevice& d : devices)
        if (lstrcmpiA(d.portName.c_str(), port.c_str()) == 0) {
            device = &d;
            break;
        }
    // Not a Plug and Play port (a mapped or virtual one): the name alone tells.
    const bool present = device ? device->present : dosName();
    const std::string what =
        device && !device->friendlyName.empty() ? device->friendlyName : serialDevice(n);
    std::string text = port + ": " + what + (present ? " (present)" : " (not present)");
    // The logger waits for each reply: every received frame waits out the timer too.
    if (device && device->latencyTimer && *device->latencyTimer > 2 &&
        startsWithNoCase(device->hardwareId, "FTDIBUS\\"))
        text += "\nThe adapter holds received bytes up to " +
                std::to_string(*device->latencyTimer) +
                " ms, which slows a download: set its Latency Timer to 1 ms in Device Manager "
                "(the port's Properties, Port Settings, Advanced).";
    // USB adapters often get numbers above the twelve ports the dialog offers.
    for (const PortDevice& d : devices) {
        const std::string& name = d.portName;
        if (!d.present || name.size() < 4 || name.size() > 6 || !startsWithNoCase(name, "COM") ||
            name.find_first_not_of("0123456789", 3) != std::string::npos ||
            std::stoi(name.substr(3)) <= 12)
            continue;
        text += "\n" + (d.friendlyName.empty() ? name : d.friendlyName) + " is present, but " +
                name +
                " is out of reach: give it a number from 1 to 12 in Device Manager (the "
                "port's Properties, Port Settings, Advanced, COM Port Number).";
    }
    return text;
}

}  // namespace win32

std::string serialDevice(int16_t n) {
    return "\\\\.\\COM" + std::to_string(n);
}

std::string describeSerialPort(int16_t n) {
    return win32::describePort(n, win32::systemPortDevices(), [n] {
        wchar_t target[512];
        return QueryDosDeviceW(win32::widen("COM" + std::to_string(n)).c_str(), target, 512) != 0;
    });
}

// Windows names its ports itself: there are no COMn links to point, so the PORT dialog
// has no device menu here.
DeviceMenu deviceMenu(int16_t, const std::string&) {
    return {};
}

}  // namespace platform
