// Record text shown one character per byte: which character each byte shows as. That any
// byte string shows its lines and no others is the byte codec fuzz target's check.
#include <gtest/gtest.h>

#include <string>

#include "platform/qt/byte_codec.h"

namespace {

using namespace platform::qt;

TEST(ByteCodec, OnlyCrLfBreaksALineAndOtherBytesShowAsTheirCharacters) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\r\r\n", u"\u240D\n"},  // a lone CR before the pair stays visible
        {"a\r\nb\n\r", u"a\nb\u240A\u240D"},
        {std::string("\0\t\x1f\x7f", 4), u"\u2400\u2409\u241F\u2421"},
        {"\x80\x85\x9f\xa0\xe4\xff", u"\u20AC\u2026\u0178\u00A0\u00E4\u00FF"},
        {"\x81\x8d\x8f\x90\x9d", u"\u0081\u008D\u008F\u0090\u009D"},  // unassigned in 1252
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(decodeBytes(bytes), QString::fromStdU16String(shown)) << bytes;
    // Names are UTF-8 when they are valid UTF-8, the record code page otherwise.
    for (const char* name : {"L\xc3\xa4ufe", "L\xe4ufe"})
        EXPECT_EQ(decodeUiText(name), QString::fromStdU16String(u"L\u00E4ufe"));
}

}  // namespace
