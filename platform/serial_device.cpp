#include "platform/serial_device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace platform {

std::string serialDevice(int16_t n) {
    const std::string link = "COM" + std::to_string(n);
    std::error_code ec;
    if (std::filesystem::is_symlink(link, ec)) {
        // The device itself, through any further links (/dev/serial/by-id/...): its own
        // name is the one other programs lock.
        auto device = std::filesystem::canonical(link, ec);
        if (!ec) return device.string();
        auto target = std::filesystem::read_symlink(link, ec);
        if (!ec) {
            // A relative target is relative to the link's folder, the current one.
            return target.is_absolute() ? target.string()
                                        : (std::filesystem::current_path(ec) / target).string();
        }
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string describeSerialPort(int16_t n) {
    const std::string dev = serialDevice(n);
    struct stat st {};
    const bool present = ::stat(dev.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
    return "COM" + std::to_string(n) + ": " + dev + (present ? " (present)" : " (not present)");
}

}  // namespace platform
