#include <gtest/gtest.h>

#include <filesystem>

#include "platform/serial/line_decoder.h"
#include "platform/serial/termios_comm_port.h"
#include "platform/serial_device.h"
#include "tests/support/scratch.h"

namespace {

using Decoded = std::pair<std::string, std::vector<size_t>>;  // data, error positions

// Decodes `raw` fed in three reads, split at `a` and `b`.
Decoded decode(std::string_view raw, size_t a, size_t b) {
    platform::serial::LineDecoder d;
    Decoded out;
    for (auto piece : {raw.substr(0, a), raw.substr(a, b - a), raw.substr(b)})
        d.feed(piece, out.first, out.second);
    return out;
}

const std::string FF = "\xFF", Z(1, '\0');

}  // namespace

TEST(LineDecoder, SplitsDataFromMarkedErrorsWhereverAReadEnds) {
    const std::vector<std::pair<std::string, Decoded>> cases = {
        {"a" + Z + FF + FF + "b", {"a" + Z + FF + "b", {}}},  // lone NUL, doubled 0xFF: data
        {"ab" + FF + Z + "X" + "cd", {"abcd", {2}}},      // the marked byte goes, its place stays
        {FF + Z + Z + FF + Z + FF + "a", {"a", {0, 0}}},  // a break; a marked 0xFF starts nothing
        {FF + "a", {FF + "a", {}}},                       // not a kernel sequence: nothing lost
    };
    for (const auto& [raw, want] : cases) {
        for (size_t a = 0; a <= raw.size(); ++a) {
            for (size_t b = a; b <= raw.size(); ++b)
                EXPECT_EQ(decode(raw, a, b), want) << "cut at " << a << ", " << b;
        }
    }
}

TEST(SerialSettings, OnlyStandardSpeedsWithNoParity8Bits1StopAreTaken) {
    EXPECT_EQ(platform::settingsSpeed("57600,n,8,1"), 57600u);
    EXPECT_EQ(platform::settingsSpeed("300,N,8,1"), 300u);
    // Speed 0 would hang the line up; the last one wraps to 9600 in 32 bits.
    for (const char* bad :
         {"", "9600,n,8", "9600,n,8,1,", "9600,e,8,1", "9600,n,7,1", "9600,n,8,2", " 9600,n,8,1",
          "+9600,n,8,1", "12345,n,8,1", "0,n,8,1", "4294976896,n,8,1"})
        EXPECT_FALSE(platform::settingsSpeed(bad)) << '"' << bad << '"';
}

TEST(SerialDevice, FollowsEveryLinkToTheDeviceWhoseNameIsLocked) {
    support::ScratchDir dir;
    std::filesystem::create_symlink("/dev/null", "by-id");
    std::filesystem::create_symlink("by-id", "COM5");
    EXPECT_EQ(platform::serialDevice(5), "/dev/null");
    EXPECT_EQ(platform::serialDevice(3), "/dev/ttyS2");
}
