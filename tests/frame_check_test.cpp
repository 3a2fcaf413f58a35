#include "download/frame_check.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameCheck, AcceptsOnlyLinesWhoseCountAndChecksumAgree) {
    struct Case {
        std::string line;
        bool passes;
        std::string record;
    };
    const Case cases[] = {
        {"02ST:7", true, "ST"},
        {"0612.3452=", true, "12.345"},
        {"02EN93", true, "EN"},
        {"0000", true, ""},
        {"02STZ7", true, "ST"},  // 'Z' is 0x5A: low nibble 10, like ':'
        {"02ST A7", false, ""},  // length
        {"02STA7", false, ""},   // "A" is 1, not 10: nibbles are not hexadecimal
        {"0?ST:7", false, ""},   // the count says more than the line holds
        {"", false, ""},
        {"000", false, ""},
        {"??" + std::string(255, '\xFF') + "01", true, std::string(255, '\xFF')},  // 8-bit sum
        {"??" + std::string(255, '\xFF') + "02", false, ""},
    };
    for (const auto& c : cases) {
        std::string_view rec = "unset";
        EXPECT_EQ(frame::check(c.line, &rec), c.passes) << c.line;
        if (c.passes) {
            EXPECT_EQ(rec, c.record) << c.line;
        }
    }
}

TEST(FrameCheck, KindIsCaseSensitiveOnTheFirstTwoCharacters) {
    EXPECT_EQ(frame::kindOf("ST"), frame::Kind::Start);
    EXPECT_EQ(frame::kindOf("ENTRY"), frame::Kind::End);
    for (const char* lap : {"EX", "E", "st", "en", ""})
        EXPECT_EQ(frame::kindOf(lap), frame::Kind::Lap);
}

TEST(FrameCheck, EncodeRoundTripsEveryLength) {
    std::string rec;
    for (int n = 0; n < 256; ++n, rec += static_cast<char>(n * 7 + 1)) {
        const std::string line = frame::encode(rec);
        std::string_view back;
        ASSERT_TRUE(frame::check(line, &back)) << n;
        EXPECT_EQ(back, rec);
    }
}

}  // namespace
