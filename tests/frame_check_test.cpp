// The frame check on its own. The encoder the simulator frames its records with meets it
// in every whole download and journal test.
#include "download/frame_check.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(FrameCheck, AcceptsOnlyLinesWhoseCountAndChecksumAgree) {
    const std::string ff(255, '\xFF');
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        // line, record
        {"02ST:7", "ST"},
        {"0612.3452=", "12.345"},
        {"02EN93", "EN"},
        {"0000", ""},
        {"02STZ7", "ST"},  // 'Z' is 0x5A: low nibble 10, like ':'
        {"02ST A7", {}},   // length
        {"02STA7", {}},    // "A" is 1, not 10: nibbles are not hexadecimal
        {"0?ST:7", {}},    // the count says more than the line holds
        {"", {}},
        {"000", {}},
        {"??" + ff + "01", ff},  // 8-bit sum
        {"??" + ff + "02", {}},
    };
    for (const auto& [line, record] : cases) {
        std::string_view rec;
        const bool passes = frame::check(line, &rec);
        EXPECT_EQ(passes ? std::optional<std::string>(rec) : std::nullopt, record) << line;
    }
}

}  // namespace
