#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/serial/line_decoder.h"
#include "platform/serial/termios_comm_port.h"

using platform::serial::LineDecoder;

namespace {

struct Decoded {
    std::string data;
    std::vector<size_t> errors;
    bool operator==(const Decoded&) const = default;
};

Decoded decode(const std::string& raw, const std::vector<size_t>& cuts = {}) {
    LineDecoder d;
    Decoded out;
    size_t from = 0;
    for (size_t cut : cuts) {
        d.feed(std::string_view(raw).substr(from, cut - from), out.data, out.errors);
        from = cut;
    }
    d.feed(std::string_view(raw).substr(from), out.data, out.errors);
    return out;
}

const std::string FF = "\xFF";
const std::string Z(1, '\0');

}  // namespace

TEST(LineDecoder, PlainBytesPassAndMarksAreResolved) {
    EXPECT_EQ(decode("02ST:7\r"), (Decoded{"02ST:7\r", {}}));
    // A NUL without a preceding 0xFF is ordinary data.
    EXPECT_EQ(decode("a" + Z + "b"), (Decoded{"a" + Z + "b", {}}));
    // A doubled 0xFF is one data byte.
    EXPECT_EQ(decode("a" + FF + FF + "b"), (Decoded{"a" + FF + "b", {}}));
    EXPECT_EQ(decode(FF + FF + FF + FF), (Decoded{FF + FF, {}}));
    // A marked character is dropped; the error keeps its place among the data.
    EXPECT_EQ(decode("ab" + FF + Z + "X" + "cd"), (Decoded{"abcd", {2}}));
    // A break arrives as a marked NUL.
    EXPECT_EQ(decode(FF + Z + Z + "\r"), (Decoded{"\r", {0}}));
    // A marked 0xFF is not mistaken for the start of another mark.
    EXPECT_EQ(decode(FF + Z + FF + "a"), (Decoded{"a", {0}}));
    EXPECT_EQ(decode(FF + Z + "x" + FF + Z + "y"), (Decoded{"", {0, 0}}));
    // 0xFF followed by anything else is not a kernel sequence; nothing is lost.
    EXPECT_EQ(decode(FF + "a"), (Decoded{FF + "a", {}}));
}

TEST(LineDecoder, ReadsMayEndAnywhereInAMark) {
    const std::string raw = "1" + FF + FF + "2" + FF + Z + "x" + "3" + FF + Z + Z + FF + FF;
    const Decoded whole = decode(raw);
    ASSERT_EQ(whole, (Decoded{"1" + FF + "23" + FF, {3, 4}}));
    for (size_t a = 0; a <= raw.size(); ++a) {
        for (size_t b = a; b <= raw.size(); ++b)
            EXPECT_EQ(decode(raw, {a, b}), whole) << "cut at " << a << " and " << b;
    }
    // One byte per read, the worst case.
    std::vector<size_t> every;
    for (size_t i = 1; i < raw.size(); ++i) every.push_back(i);
    EXPECT_EQ(decode(raw, every), whole);
}

TEST(LineDecoder, ResetForgetsAHalfReceivedMark) {
    LineDecoder d;
    Decoded out;
    d.feed(FF + Z, out.data, out.errors);
    d.reset();  // the input queue was flushed
    d.feed("x", out.data, out.errors);
    EXPECT_EQ(out, (Decoded{"x", {}}));
}

TEST(SerialSettings, AcceptsStandardSpeedsWithNoParity8Bits1Stop) {
    EXPECT_EQ(platform::settingsSpeed("9600,n,8,1"), 9600u);
    EXPECT_EQ(platform::settingsSpeed("19200,n,8,1"), 19200u);
    EXPECT_EQ(platform::settingsSpeed("38400,N,8,1"), 38400u);
    EXPECT_EQ(platform::settingsSpeed("57600,n,8,1"), 57600u);
    EXPECT_EQ(platform::settingsSpeed("115200,n,8,1"), 115200u);
    EXPECT_EQ(platform::settingsSpeed("300,n,8,1"), 300u);
}

TEST(SerialSettings, RejectsWhatCannotBeApplied) {
    for (const char* bad : {
             "",
             "9600",
             "9600,n,8",
             "9600,n,8,1,",
             ",n,8,1",
             "9600,,8,1",
             "9600,e,8,1",
             "9600,o,8,1",
             "9600,n,7,1",
             "9600,n,8,2",
             "9600,n,8,1.5",
             " 9600,n,8,1",
             "9600 ,n,8,1",
             "96OO,n,8,1",
             "-9600,n,8,1",
             "+9600,n,8,1",
             "12345,n,8,1",       // not a standard speed
             "13,n,8,1",          // the code of 9600 in some interfaces, not a speed
             "0,n,8,1",           // would hang the line up
             "00009600,n,8,1",    // too long to be a speed
             "4294976896,n,8,1",  // wraps to 9600 in 32 bits
             "9600,nn,8,1",
             "9600,n,08,1",
             "9600;n;8;1",
         }) {
        EXPECT_FALSE(platform::settingsSpeed(bad)) << '"' << bad << '"';
    }
}
