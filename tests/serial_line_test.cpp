// The serial layer's parts that need no port: the mark decoder, the settings text, and
// the devices and COM links in a folder of the test's own.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/posix/line_decoder.h"
#include "platform/posix/termios_comm_port.h"
#include "platform/serial_device.h"
#include "tests/support/scratch.h"

namespace {

using Decoded = std::pair<std::string, std::vector<size_t>>;  // data, error positions

const std::string FF = "\xFF", Z(1, '\0');

namespace fs = std::filesystem;

}  // namespace

// However the reads cut the stream, the result is the same: the line decoder fuzz
// target's check.
TEST(LineDecoder, SplitsDataFromMarkedErrors) {
    const std::vector<std::pair<std::string, Decoded>> cases = {
        {"a" + Z + FF + FF + "b", {"a" + Z + FF + "b", {}}},  // lone NUL, doubled 0xFF: data
        {"ab" + FF + Z + "X" + "cd", {"abcd", {2}}},      // the marked byte goes, its place stays
        {FF + Z + Z + FF + Z + FF + "a", {"a", {0, 0}}},  // a break; a marked 0xFF starts nothing
        {FF + "a", {FF + "a", {}}},                       // not a kernel sequence: nothing lost
    };
    for (const auto& [raw, want] : cases) {
        platform::posix::LineDecoder d;
        Decoded got;
        d.feed(raw, got.first, got.second);
        EXPECT_EQ(got, want);
    }
}

TEST(SerialSettings, OnlyStandardSpeedsWithNoParity8Bits1StopAreTaken) {
    EXPECT_EQ(platform::posix::settingsSpeed("57600,n,8,1"), 57600u);
    EXPECT_EQ(platform::posix::settingsSpeed("300,N,8,1"), 300u);
    // Speeds no port applies (0 would hang the line up). The text's form, parity, bits,
    // stop bits and a number that wraps in 32 bits are the settings speed fuzz target's.
    for (const char* bad : {"12345,n,8,1", "0,n,8,1"})
        EXPECT_FALSE(platform::posix::settingsSpeed(bad)) << '"' << bad << '"';
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
    EXPECT_EQ(platform::serialDevice(5), "/dev/null");  // every link followed, as it is locked
    platform::pointComLink(5, "");
    platform::pointComLink(5, "");  // no link is already the default
    EXPECT_EQ(platform::comLinkTarget(5), "");
    EXPECT_EQ(platform::serialDevice(5), "/dev/ttyS4");
    // What is not a link stays, and the attempt leaves nothing behind.
    fs::create_directory("COM6");
    std::ofstream("COM7") << "notes";
    for (int n : {6, 7})
        for (const char* target : {"/dev/null", ""})
            EXPECT_THROW(platform::pointComLink(n, target), platform::RuntimeError) << n;
    EXPECT_EQ(fs::file_size("COM7"), 5u);                          // "notes", not a link
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 3);  // COM6, COM7, usb-X
}

TEST(SerialDevice, OpenFailuresSayWhatTheOperatorCanDo) {
    support::ScratchDir dir;
    fs::create_symlink("/dev/serial/by-id/usb-Pulled_Out", "COM5");
    std::ofstream("private");
    ::chmod("private", 0600);
    // As an adapter's device is: owned by root, read and written by its group. Only root
    // may make such a file here.
    std::ofstream("tty");
    const group* dialout = ::getgrnam("dialout");
    const bool grouped =
        dialout && ::chown("tty", 0, dialout->gr_gid) == 0 && ::chmod("tty", 0660) == 0;
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
        EXPECT_EQ(platform::posix::openFailure(c.port, c.dev, c.err).description(), c.says)
            << c.dev;
    if (grouped) {
        EXPECT_EQ(platform::posix::openFailure(7, "tty", EACCES).description(),
                  "COM7: tty: permission denied. Add your user to the group 'dialout' (sudo "
                  "adduser $USER dialout), then log out and in again.");
    }
}
