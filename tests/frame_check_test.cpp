#include "download/frame_check.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameCheck, WorkedExamplesPass) {
    std::string_view rec;
    ASSERT_TRUE(frame::check("02ST:7", &rec));
    EXPECT_EQ(rec, "ST");
    ASSERT_TRUE(frame::check("0612.3452=", &rec));
    EXPECT_EQ(rec, "12.345");
    ASSERT_TRUE(frame::check("02EN93", &rec));
    EXPECT_EQ(rec, "EN");
    ASSERT_TRUE(frame::check("0000", &rec));
    EXPECT_EQ(rec, "");
}

TEST(FrameCheck, NibblesAreLowFourBitsNotHex) {
    EXPECT_FALSE(frame::check("02ST A7"));  // length
    EXPECT_FALSE(frame::check("02STA7"));   // "A" is 1, not 10
    // Any character with the same low nibble does: 'Z' is 0x5A, low nibble 10.
    EXPECT_TRUE(frame::check("02STZ7"));
    EXPECT_TRUE(frame::check("p2ST:7"));  // 'p' is 0x70, low nibble 0
}

TEST(FrameCheck, ShortAndOverlongCountsFail) {
    for (const char* line : {"", "0", "00", "000", "02S7"})
        EXPECT_FALSE(frame::check(line)) << line;
    // The count says 15 characters; the line holds fewer, whatever its last two are.
    EXPECT_FALSE(frame::check("0?ST:7"));
    EXPECT_FALSE(frame::check("??abcdef00"));
}

TEST(FrameCheck, SumWrapsAtEightBitsAndUsesUnsignedCodes) {
    std::string payload(255, '\xFF');  // 255 * 255 = 65025, AND 255 = 1
    std::string line = "??" + payload + "01";
    std::string_view rec;
    ASSERT_TRUE(frame::check(line, &rec));
    EXPECT_EQ(rec.size(), 255u);
    EXPECT_FALSE(frame::check("??" + payload + "02"));
}

TEST(FrameCheck, KindIsCaseSensitiveOnFirstTwo) {
    EXPECT_EQ(frame::kindOf("ST"), frame::Kind::Start);
    EXPECT_EQ(frame::kindOf("ENTRY"), frame::Kind::End);
    EXPECT_EQ(frame::kindOf("EX"), frame::Kind::Lap);
    EXPECT_EQ(frame::kindOf("E"), frame::Kind::Lap);
    EXPECT_EQ(frame::kindOf("st"), frame::Kind::Lap);
    EXPECT_EQ(frame::kindOf("en"), frame::Kind::Lap);
    EXPECT_EQ(frame::kindOf(""), frame::Kind::Lap);
}

TEST(FrameCheck, EncodeRoundTripsEveryLength) {
    std::string rec;
    for (int n = 0; n < 256; ++n) {
        std::string line = frame::encode(rec);
        std::string_view back;
        ASSERT_TRUE(frame::check(line, &back)) << n;
        EXPECT_EQ(back, rec);
        rec += static_cast<char>(n * 7 + 1);
    }
    EXPECT_EQ(frame::encode("12.345"), "0612.3452=");
}

}  // namespace
