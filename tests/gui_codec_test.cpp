// Record text shown one character per byte: only CR LF breaks a line. Which character each
// byte shows as is the shared table's, checked against the Windows code page by the Windows
// tests; that any byte string shows its lines and no others is the byte codec fuzz target's.
#include <gtest/gtest.h>

#include <string>

#include "platform/qt/byte_codec.h"

namespace {

using namespace platform::qt;

TEST(ByteCodec, OnlyCrLfBreaksALineAndOtherBytesShowAsTheirCharacters) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\r\r\n", u"\u240D\n"},  // a lone CR before the pair stays visible
        {"a\r\nb\n\r", u"a\nb\u240A\u240D"},
        {std::string("\0\x80", 2), u"\u2400\u20AC"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(decodeBytes(bytes), QString::fromStdU16String(shown)) << bytes;
    // Names are UTF-8 when they are valid UTF-8, the record code page otherwise.
    for (const char* name : {"L\xc3\xa4ufe", "L\xe4ufe"})
        EXPECT_EQ(decodeUiText(name), QString::fromStdU16String(u"L\u00E4ufe"));
}

}  // namespace
