#include "platform/posix/serial_device.h"

#include "platform/posix/errno_error.h"

#include <grp.h>
#include <linux/serial.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string comName(int16_t n) {
    return "COM" + std::to_string(n);
}

bool isCharDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Whether sysfs shows a UART behind a ttyS port (its type is 0, PORT_UNKNOWN, where none
// was found): opening the node to ask would raise DTR and RTS on it.
bool hasUart(const fs::path& sysTty) {
    int type = 0;
    std::ifstream in(sysTty / "type");
    return in >> type && type != PORT_UNKNOWN;
}

// The label with what keeps this user from opening the device, if anything.
std::string withAccess(const std::string& path, std::string label) {
    if (::access(path.c_str(), R_OK | W_OK) == 0) return label;
    const std::string group = deviceGroup(path);
    return label + " - permission denied" +
           (group.empty() ? "" : ": sudo adduser $USER " + group + ", then log in again");
}

// The number after the name's letters, for sorting ttyS2 before ttyS10.
long trailingNumber(const std::string& name) {
    const auto digits = name.find_first_of("0123456789");
    return digits == std::string::npos ? -1 : std::strtol(name.c_str() + digits, nullptr, 10);
}

}  // namespace

std::string deviceGroup(const std::string& dev) {
    struct stat st {};
    const group* g = ::stat(dev.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
    // Joining the device's group helps only when that group may open it, and never means
    // joining root's.
    if (!g || st.st_gid == 0 || (st.st_mode & S_IRWXG) != (S_IRGRP | S_IWGRP)) return "";
    return g->gr_name;
}

std::string serialDevice(int16_t n) {
    const std::string link = comName(n);
    std::error_code ec;
    if (fs::is_symlink(link, ec)) {
        // The device itself, through any further links (/dev/serial/by-id/...): its own
        // name is the one other programs lock.
        auto device = fs::canonical(link, ec);
        if (!ec) return device.string();
        auto target = fs::read_symlink(link, ec);
        if (!ec) {
            // A relative target is relative to the link's folder, the current one.
            return target.is_absolute() ? target.string()
                                        : (fs::current_path(ec) / target).string();
        }
    }
    return defaultSerialDevice(n);
}

std::string defaultSerialDevice(int16_t n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string comLinkTarget(int16_t n, const std::string& folder) {
    std::error_code ec;
    const auto target = fs::read_symlink(fs::path(folder) / comName(n), ec);
    return ec ? "" : target.string();
}

std::string describeSerialPort(int16_t n) {
    const std::string dev = serialDevice(n);
    const std::string link = comLinkTarget(n);
    const std::string state = isCharDevice(dev) ? "present" : "not present";
    const std::string choose = "\nRight-click to choose the device.";
    if (!link.empty() && link != dev)
        return comName(n) + ": " + link + " (" + dev + ", " + state + ")" + choose;
    return comName(n) + ": " + dev + " (" + state + ")" + choose;
}

DeviceMenu deviceMenu(int16_t n, const std::string& devRoot) {
    const auto devices = scanSerialDevices(devRoot.empty() ? "/dev" : devRoot);
    const std::string now = comLinkTarget(n);
    DeviceMenu menu;
    for (const auto& d : devices) {
        if (d.path == now) menu.checked = static_cast<int>(menu.items.size());
        menu.items.push_back(d.label);
    }
    if (now.empty()) menu.checked = static_cast<int>(menu.items.size());
    menu.items.push_back("default (" + defaultSerialDevice(n) + ")");
    // The by-id name, so the adapter keeps its number in whatever socket it is plugged.
    menu.choose = [n, devices](size_t i) {
        pointComLink(n, i < devices.size() ? devices[i].path : "");
    };
    return menu;
}

std::vector<SerialChoice> scanSerialDevices(const std::string& devRoot,
                                            const std::string& sysRoot) {
    std::vector<SerialChoice> adapters, uarts;
    std::error_code ec;
    const fs::path byId = fs::path(devRoot) / "serial" / "by-id";
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path link = it->path();
        const auto target = fs::read_symlink(link, ec);
        if (ec || !fs::exists(link, ec)) {  // left behind by an adapter just pulled
            ec.clear();
            continue;
        }
        adapters.push_back(
            {link.string(), withAccess(link.string(), link.filename().string() + " (" +
                                                          target.filename().string() + ")")});
    }
    ec.clear();
    const fs::path ttys = fs::path(sysRoot) / "class" / "tty";
    for (fs::directory_iterator it(ttys, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string node = (fs::path(devRoot) / name).string();
        if (name.rfind("ttyS", 0) != 0 || !hasUart(it->path()) || !fs::exists(node, ec)) continue;
        uarts.push_back({node, withAccess(node, node)});
    }
    std::sort(adapters.begin(), adapters.end(),
              [](const auto& a, const auto& b) { return a.label < b.label; });
    std::sort(uarts.begin(), uarts.end(), [](const auto& a, const auto& b) {
        return trailingNumber(a.path) < trailingNumber(b.path);
    });
    adapters.insert(adapters.end(), uarts.begin(), uarts.end());
    return adapters;
}

void pointComLink(int16_t n, const std::string& target, const std::string& folder) {
    const fs::path link = fs::path(folder) / comName(n);
    // A file or folder of that name is the operator's, not ours to replace.
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw RuntimeError(err::PathFileAccess,
                           comName(n) + " is not a link; left as it is, remove it by hand");
    if (target.empty()) {
        if (::unlink(link.c_str()) != 0 && errno != ENOENT)
            throw fromErrno(errno, "cannot remove " + comName(n));
        return;
    }
    // rename() replaces the old link atomically: the port never points nowhere, and a
    // failure leaves the old link as it was.
    std::string freshName = ".";  // not "." + ...: GCC 12 -O3 warns falsely on that insert
    freshName += comName(n) + ".new";
    const fs::path fresh = fs::path(folder) / freshName;
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0)
        throw fromErrno(errno, "cannot point " + comName(n) + " at " + target);
    if (::rename(fresh.c_str(), link.c_str()) != 0) {
        const int e = errno;
        ::unlink(fresh.c_str());
        throw fromErrno(e, "cannot point " + comName(n) + " at " + target);
    }
}

}  // namespace platform
