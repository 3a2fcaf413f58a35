// The serial layer's parts that need no port: the mark decoder, the settings text, and
// the devices and COM links in a folder of the test's own.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/posix/line_decoder.h"
#include "platform/posix/serial_device.h"
#include "platform/posix/termios_comm_port.h"
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

namespace {

// The labels a scan of the trees "dev" and "sys" gives, as the user `uid` sees them: a
// user other than root is played by a child process.
std::vector<std::string> scannedLabels(uid_t uid) {
    const auto labels = [] {
        std::vector<std::string> l;
        for (const auto& c : platform::scanSerialDevices("dev", "sys")) l.push_back(c.label);
        return l;
    };
    if (uid == ::geteuid()) return labels();
    int out[2];
    if (::pipe(out) != 0) return {"no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        std::string all;
        if (::setgroups(0, nullptr) == 0 && ::setgid(uid) == 0 && ::setuid(uid) == 0)
            for (const auto& l : labels()) all += l + "\n";
        (void)!::write(out[1], all.data(), all.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string all;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) all.append(buf, size_t(n));
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    std::vector<std::string> l;
    for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
        l.push_back(all.substr(at, end - at));
    return l;
}

}  // namespace

// Opening nothing: the adapters by id, then the ttyS ports sysfs shows a UART behind, each
// saying when this user may not open it.
TEST(SerialDevice, ScanNamesAdaptersByIdThenPortsWithAUartAndWhoMayOpenThem) {
    support::ScratchDir dir;
    EXPECT_TRUE(platform::scanSerialDevices("no-such-dev", "no-such-sys").empty());
    fs::create_directories("dev/serial/by-id");
    for (const char* node : {"ttyUSB0", "ttyACM1", "ttyS0", "ttyS1", "ttyS2", "ttyS10"})
        std::ofstream("dev/" + std::string(node));
    fs::create_symlink("../../ttyUSB0", "dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    fs::create_symlink("../../ttyACM1", "dev/serial/by-id/usb-Arduino_Uno_7543-if00");
    fs::create_symlink("../../ttyUSB9", "dev/serial/by-id/usb-Pulled_Out-if00");  // dangling
    // type 4 is a 16550A, 0 no UART found; ttyS3's node is missing.
    for (const auto& [tty, type] : {std::pair{"ttyS0", "4"},
                                    {"ttyS1", "0"},
                                    {"ttyS2", "4\n"},
                                    {"ttyS3", "4"},
                                    {"ttyS10", "4"},
                                    {"ttyUSB0", "4"}}) {
        fs::create_directories("sys/class/tty/" + std::string(tty));
        std::ofstream("sys/class/tty/" + std::string(tty) + "/type") << type;
    }
    const std::vector<std::string> all = {"usb-Arduino_Uno_7543-if00 (ttyACM1)",
                                          "usb-FTDI_FT232R_A50285BI-if00-port0 (ttyUSB0)",
                                          "dev/ttyS0", "dev/ttyS2", "dev/ttyS10"};
    const auto found = platform::scanSerialDevices("dev", "sys");
    ASSERT_EQ(found.size(), all.size());
    EXPECT_EQ(found[0].path, "dev/serial/by-id/usb-Arduino_Uno_7543-if00");
    EXPECT_EQ(found[2].path, "dev/ttyS0");
    // As an adapter's and a port's device are: read and written by their group.
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout) {
        EXPECT_EQ(scannedLabels(::geteuid()), all);
        GTEST_SKIP() << "only root can give the devices away";
    }
    for (const char* node : {"dev/ttyUSB0", "dev/ttyS0"})
        ASSERT_TRUE(::chown(node, 0, dialout->gr_gid) == 0 && ::chmod(node, 0660) == 0);
    ::chmod("dev/ttyS2", 0600);  // its owner's only: no group to join
    for (const char* node : {"dev/ttyACM1", "dev/ttyS10"}) ::chmod(node, 0666);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(scannedLabels(0), all);  // root opens everything
    const std::string join = " - permission denied: sudo adduser $USER " +
                             std::string(dialout->gr_name) + ", then log in again";
    EXPECT_EQ(scannedLabels(65534),  // nobody
              (std::vector<std::string>{all[0], all[1] + join, all[2] + join,
                                        all[3] + " - permission denied", all[4]}));
}

TEST(SerialDevice, LinkIsReplacedInOneStepAndDefaultRemovesIt) {
    support::ScratchDir dir;
    const std::string adapter = dir.at("usb-X");
    fs::create_symlink("/dev/null", adapter);
    platform::pointComLink(5, "/dev/zero");
    platform::pointComLink(5, adapter);
    EXPECT_EQ(platform::comLinkTarget(5), adapter);
    EXPECT_EQ(platform::describeSerialPort(5),
              "COM5: " + adapter + " (/dev/null, present)\nRight-click to choose the device.");
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
