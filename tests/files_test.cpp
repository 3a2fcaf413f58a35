// The platform's numbered files, where they meet the operator's folders: links, pipes,
// modes, and what reaches the disk.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/serial_device.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_synced;  // the paths of the descriptors synced, in order

}  // namespace

// Every fsync of the test process passes here on its way to the system.
extern "C" int fsync(int fd) {
    char path[4096];
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
    g_synced.emplace_back(path, n > 0 ? static_cast<size_t>(n) : 0);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Files, SavingOverALinkOrAModeKeepsThemAndAPipeDoesNotHang) {
    support::ScratchDir dir;
    platform::Files files;
    std::ofstream("real.txt") << "old";
    ::chmod("real.txt", 0640);
    fs::create_symlink("real.txt", "link.txt");
    files.openOutput(1, "link.txt");
    files.print(1, "new\r\n");
    files.close(1);
    EXPECT_TRUE(fs::is_symlink("link.txt"));
    EXPECT_EQ(read("real.txt"), "new\r\n");
    EXPECT_EQ(fs::status("real.txt").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 2);  // no temporary left

    ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
    EXPECT_THROW(files.openInput(2, "pipe.txt"), platform::RuntimeError);
    EXPECT_FALSE(files.isOpen(2));
}

TEST(Files, InputEndsAtWhatTheFileHeldWhenOpenedWhileAWriterKeepsAppending) {
    support::ScratchDir dir;
    std::string records;
    for (int i = 0; i < 20000; ++i) records += std::to_string(i) + "  12.345\r\n";
    std::ofstream("grow.txt", std::ios::binary) << records;
    platform::Files files;
    files.openInput(1, "grow.txt");
    std::ofstream out("grow.txt", std::ios::binary | std::ios::app);
    out << "torn" << std::flush;  // whatever the writer's pace, some comes after the open
    std::atomic<bool> done = false;
    std::thread writer([&] {
        // Bounded, so a reader that never stops fails instead of filling the disk.
        for (int i = 0; i < 200000 && !done; ++i) out << "99  99.999\r\n" << std::flush;
    });
    std::string read;
    while (!files.eof(1)) read += files.lineInput(1) + "\r\n";
    done = true;
    writer.join();
    EXPECT_EQ(files.lof(1), static_cast<int64_t>(records.size()));
    EXPECT_TRUE(read == records) << read.size();  // and the last record whole
}

TEST(Files, ATargetNameOfTheLongestLengthSaves) {
    support::ScratchDir dir;
    platform::Files files;
    const std::string name = std::string(251, 'n') + ".txt";  // 255 bytes, the most ext4 takes
    files.openOutput(1, name);
    files.print(1, "x\r\n");
    files.close(1);
    EXPECT_EQ(read(name), "x\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1);
}

TEST(Files, ASaveIsSyncedAndThenItsFolderSoTheNewNameOutlivesACrash) {
    support::ScratchDir dir;
    platform::Files files;
    files.openOutput(1, "r.txt");
    files.print(1, "12.345\r\n");
    g_synced.clear();
    files.close(1);
    ASSERT_EQ(g_synced.size(), 2u);
    EXPECT_EQ(g_synced[1], fs::canonical(dir.path()).string());
}

TEST(SerialDevice, ScanNamesAdaptersByIdThenPortsWithAUartOnly) {
    support::ScratchDir dir;
    EXPECT_TRUE(platform::scanSerialDevices("no-such-dev").empty());
    fs::create_directories("dev/serial/by-id");
    for (const char* node : {"ttyUSB0", "ttyACM1", "ttyS0"})
        std::ofstream("dev/" + std::string(node));
    fs::create_symlink("../../ttyUSB0", "dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    fs::create_symlink("../../ttyACM1", "dev/serial/by-id/usb-Arduino_Uno_7543-if00");
    fs::create_symlink("../../ttyUSB9", "dev/serial/by-id/usb-Pulled_Out-if00");  // dangling
    const auto found = platform::scanSerialDevices("dev");
    // A ttyS node that answers no serial ioctl (here a plain file) has no UART behind it.
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].label, "usb-Arduino_Uno_7543-if00 (ttyACM1)");
    EXPECT_EQ(found[0].path, "dev/serial/by-id/usb-Arduino_Uno_7543-if00");
    EXPECT_EQ(found[1].label, "usb-FTDI_FT232R_A50285BI-if00-port0 (ttyUSB0)");
}

TEST(SerialDevice, LinkIsReplacedInOneStepAndDefaultRemovesIt) {
    support::ScratchDir dir;
    const std::string adapter = dir.at("usb-X");
    fs::create_symlink("/dev/null", adapter);
    platform::pointComLink(5, "/dev/zero");
    platform::pointComLink(5, adapter);
    EXPECT_EQ(platform::comLinkTarget(5), adapter);
    EXPECT_EQ(platform::describeSerialPort(5), "COM5: " + adapter + " (/dev/null, present)");
    platform::pointComLink(5, "");
    platform::pointComLink(5, "");  // no link is already the default
    EXPECT_EQ(platform::comLinkTarget(5), "");
    // What is not a link stays, and the attempt leaves nothing behind.
    fs::create_directory("COM6");
    std::ofstream("COM7") << "notes";
    for (int n : {6, 7})
        for (const char* target : {"/dev/null", ""})
            EXPECT_THROW(platform::pointComLink(n, target), platform::RuntimeError) << n;
    EXPECT_EQ(read("COM7"), "notes");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 3);  // COM6, COM7, usb-X
}

TEST(SerialDevice, OpenFailuresSayWhatTheOperatorCanDo) {
    support::ScratchDir dir;
    fs::create_symlink("/dev/serial/by-id/usb-Pulled_Out", "COM5");
    std::ofstream("private");
    ::chmod("private", 0600);
    const struct {
        int port;
        std::string dev;
        int err;
        std::string says;
    } cases[] = {
        {5, "/dev/serial/by-id/usb-Pulled_Out", ENOENT,
         "COM5: the device is not present (COM5 points to /dev/serial/by-id/usb-Pulled_Out). "
         "Right-click \"com 5\" in the PORT dialog to choose another device."},
        {11, "/dev/ttyS10", ENXIO,
         "COM11: the device is not present (there is no link COM11 here, so it means "
         "/dev/ttyS10). Right-click \"com11\" in the PORT dialog to choose another device."},
        // Only its owner may open it: joining a group would not help.
        {2, "private", EACCES,
         "COM2: private: permission denied. Right-click \"com 2\" in the PORT dialog to "
         "choose another device."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::openFailure(c.port, c.dev, c.err).description(), c.says) << c.dev;
}

}  // namespace
