#include <gtest/gtest.h>

#include <random>

#include "port_settings/settings_format.h"

namespace {

using settings::format;
using settings::parse;
using settings::PortSettings;

void expectLoads(const std::string& text, int16_t port, const std::string& bps,
                 const std::string& folder) {
    auto s = parse(text);
    ASSERT_TRUE(s) << testing::PrintToString(text);
    EXPECT_EQ(s->port, port) << testing::PrintToString(text);
    EXPECT_EQ(s->bps, bps) << testing::PrintToString(text);
    EXPECT_EQ(s->folder, folder) << testing::PrintToString(text);
}

TEST(SettingsFormat, LinesOrOneLineLoadTheSame) {
    for (const char* text : {
             "3\r\n\"19200\"\r\n\"C:\\DATA\"\r\n", "3\r\n\"19200\"\r\n\"C:\\DATA\"",
             "3,\"19200\",\"C:\\DATA\"", "3,\"19200\",\"C:\\DATA\",",
             "3,\"19200\",\"C:\\DATA\"\r\n", "3,\"19200\",\"C:\\DATA\",\r\n",
             "3,\r\n\"19200\",\r\n\"C:\\DATA\",\r\n",  // a comma after each line
             "3\n\"19200\"\n\"C:\\DATA\"\n",           // edited here: LF alone
             "3\r\"19200\"\r\"C:\\DATA\"\r",
             "  3 ,\t\"19200\"  ,\t \"C:\\DATA\"",  // blanks and tabs around fields
             "\r\n3\r\n\r\n\n\"19200\"\r\n  \r\n\"C:\\DATA\"\r\n\r\n",  // empty lines
         })
        expectLoads(text, 3, "19200", "C:\\DATA");
}

TEST(SettingsFormat, FieldContents) {
    // Quoted: everything up to the next mark, commas, blanks and line ends included.
    expectLoads("1,\" 57600 \",\"/a, b\r\nc\"", 1, " 57600 ", "/a, b\r\nc");
    // Unquoted: up to the comma or line end, trailing blanks dropped, inner ones kept.
    expectLoads("1,57600 \t,/my records  \r\n", 1, "57600", "/my records");
    // Text after a closing mark is ignored up to the delimiter.
    expectLoads("1,\"9600\"bps,\"/x\"\"y\" z\r\n", 1, "9600", "/x");
    // An unquoted field may hold a mark.
    expectLoads("1,96\"00,/x", 1, "96\"00", "/x");
    // Two commas make an empty field.
    expectLoads("1,,\"/x\"", 1, "", "/x");
    expectLoads("1,\"\",\"\"", 1, "", "");
    // Fields after the third are ignored, whatever they hold.
    expectLoads("1,\"9600\",\"/x\",\"/y\",70000,\"unclosed", 1, "9600", "/x");
    // The port may be quoted and carries no range check.
    expectLoads("\"7\",\"9600\",\"/x\"", 7, "9600", "/x");
    expectLoads("13,\"9600\",\"/x\"", 13, "9600", "/x");
    expectLoads("0,\"9600\",\"/x\"", 0, "9600", "/x");
}

TEST(SettingsFormat, PortMustBeASixteenBitNumber) {
    expectLoads("32767,a,b", 32767, "a", "b");
    expectLoads("-32768,a,b", -32768, "a", "b");
    expectLoads("+0012,a,b", 12, "a", "b");
    for (const char* port : {"70000", "32768", "-32769", "99999999999999999999999", "", "-", "abc",
                             "3x", "3 4", "3.0", "0x10", " \"\""})
        EXPECT_FALSE(parse(std::string(port) + ",\"9600\",\"/x\"")) << port;
}

TEST(SettingsFormat, IncompleteFilesFail) {
    for (const char* text :
         {"", "   \r\n\r\n", "3", "3\r\n\"19200\"\r\n", "3,\"19200\",", "3,\"19200\",  \r\n",
          "3,\"19200\",\"C:\\DATA", "3,\"19200,C:\\DATA\r\n", "\"3"})
        EXPECT_FALSE(parse(text)) << testing::PrintToString(text);
}

TEST(SettingsFormat, WritesThreeLinesThatReadBack) {
    EXPECT_EQ(format({3, "57600", "/home/op/laps"}), "3\r\n\"57600\"\r\n\"/home/op/laps\"\r\n");
    EXPECT_EQ(format({-12, "", ""}), "-12\r\n\"\"\r\n\"\"\r\n");

    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    for (const PortSettings& s : {
             PortSettings{1, "57600", "/"},
             PortSettings{-32768, "9600", " /lap data/ " + high + " "},
             PortSettings{32767, "19200,x", "/a,b\r\nc\td"},
         }) {
        auto back = parse(format(s));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->port, s.port);
        EXPECT_EQ(back->bps, s.bps);
        EXPECT_EQ(back->folder, s.folder);
    }
}

// Damaged files never crash the reader; whatever it accepts writes and reads back the
// same.
TEST(SettingsFormat, MutatedFilesParseOrFail) {
    const std::string good = format({3, "19200", "/home/op/lap data"});
    const std::string alphabet = "\",\r\n \t0123456789-+x\x80\xff";
    std::mt19937 rng(20050109);
    int parsed = 0, failed = 0;
    for (int round = 0; round < 600; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = text.empty() ? 0 : rng() % text.size();
            const char c =
                (rng() % 2) ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
            switch (rng() % 3) {
                case 0:
                    if (!text.empty()) text[at] = c;
                    break;
                case 1:
                    text.insert(text.begin() + static_cast<long>(at), c);
                    break;
                default:
                    if (!text.empty()) text.erase(at, 1);
                    break;
            }
        }
        auto s = parse(text);
        if (!s) {
            ++failed;
            continue;
        }
        ++parsed;
        if (s->bps.find('"') != std::string::npos || s->folder.find('"') != std::string::npos)
            continue;  // a mark inside a string cannot be written back
        auto again = parse(format(*s));
        ASSERT_TRUE(again) << testing::PrintToString(text);
        EXPECT_EQ(again->port, s->port);
        EXPECT_EQ(again->bps, s->bps);
        EXPECT_EQ(again->folder, s->folder);
    }
    // Both outcomes must actually have been exercised.
    EXPECT_GT(parsed, 50);
    EXPECT_GT(failed, 50);
}

}  // namespace
