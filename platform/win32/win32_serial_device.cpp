// Port n is \\.\COMn; the PORT dialog names the device behind it as Device Manager does.
#include <windows.h>
// setupapi.h needs windows.h first.
#include <devguid.h>
#include <setupapi.h>

#include "platform/serial_device.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

struct PortDevice {
    std::string friendlyName;  // "USB Serial Port (COM5)"
    bool found = false;
    bool present = false;
};

std::string registryText(HKEY key, const wchar_t* value) {
    wchar_t buf[256];
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "";
    buf[size / sizeof(wchar_t)] = L'\0';
    return win32::narrow(buf);
}

// Looks the port up among the known serial devices, present ones first.
PortDevice findPort(const std::string& portName) {
    PortDevice result;
    for (const DWORD flags : {DWORD(DIGCF_PRESENT), DWORD(0)}) {
        HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, flags);
        if (set == INVALID_HANDLE_VALUE) continue;
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
            HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            if (key == INVALID_HANDLE_VALUE) continue;
            const std::string name = registryText(key, L"PortName");
            RegCloseKey(key);
            if (lstrcmpiA(name.c_str(), portName.c_str()) != 0) continue;
            wchar_t friendly[256] = {};
            SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr);
            result = {win32::narrow(friendly), true, flags == DIGCF_PRESENT};
            break;
        }
        SetupDiDestroyDeviceInfoList(set);
        if (result.found) break;
    }
    return result;
}

}  // namespace

std::string serialDevice(int16_t n) {
    return "\\\\.\\COM" + std::to_string(n);
}

std::string describeSerialPort(int16_t n) {
    const std::string port = "COM" + std::to_string(n);
    const PortDevice device = findPort(port);
    bool present = device.present;
    if (!device.found) {
        // Not a Plug and Play port (a mapped or virtual one): the name alone tells.
        wchar_t target[512];
        present = QueryDosDeviceW(win32::widen(port).c_str(), target, 512) != 0;
    }
    const std::string what = device.friendlyName.empty() ? serialDevice(n) : device.friendlyName;
    return port + ": " + what + (present ? " (present)" : " (not present)");
}

// Windows names its ports itself: there are no COMn links to point, so the PORT dialog
// has no device menu here.
bool portDeviceMenu() {
    return false;
}

std::string comLinkTarget(int16_t, const std::string&) {
    return "";
}

std::vector<SerialChoice> scanSerialDevices(const std::string&) {
    return {};
}

void pointComLink(int16_t n, const std::string&, const std::string&) {
    throw RuntimeError(err::InvalidPortNumber, "COM" + std::to_string(n) + ": set by Windows");
}

}  // namespace platform
