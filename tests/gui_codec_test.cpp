#include <gtest/gtest.h>

#include <QSet>
#include <string>

#include "platform/qt/byte_codec.h"

namespace {

QString q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

using platform::qt::decodeBytes;
using platform::qt::decodeUiText;
using platform::qt::encodeText;
using platform::qt::encodeUiText;

std::string allBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

TEST(ByteCodec, EveryByteIsOneDistinctCharacterAndRoundTrips) {
    const std::string bytes = allBytes();
    const QString text = decodeBytes(bytes);
    ASSERT_EQ(text.size(), 256);  // 0x0D is followed by 0x0E: no line break here
    QSet<QChar> seen;
    for (QChar c : text) {
        EXPECT_NE(c, QChar(u'\n'));
        seen.insert(c);
    }
    EXPECT_EQ(seen.size(), 256);
    EXPECT_EQ(encodeText(text), bytes);

    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(encodeText(decodeBytes(one)), one) << "byte " << b;
    }
}

TEST(ByteCodec, LineEndsAndControlPictures) {
    EXPECT_EQ(decodeBytes("a\r\nb"), q(u"a\nb"));
    EXPECT_EQ(decodeBytes("\r"), QString(QChar(0x240D)));
    EXPECT_EQ(decodeBytes("\n"), QString(QChar(0x240A)));
    EXPECT_EQ(decodeBytes("\n\r"), q(u"\u240A\u240D"));
    // A lone CR before a CR LF stays visible; the pair is the line break.
    EXPECT_EQ(decodeBytes("\r\r\n"), q(u"\u240D\n"));
    EXPECT_EQ(decodeBytes(std::string(1, '\0')), QString(QChar(0x2400)));
    EXPECT_EQ(decodeBytes("\t\x1f"), q(u"\u2409\u241F"));
    EXPECT_EQ(decodeBytes("\x7f"), QString(QChar(0x2421)));
    EXPECT_EQ(decodeBytes(" ~"), q(u" ~"));

    for (const std::string s : {"\r\r\n", "\r\n\r\n", "\n\r\n\r", "x\r", "\r\n\r", "12.345\r\n"})
        EXPECT_EQ(encodeText(decodeBytes(s)), s);
    // The paragraph end of a text document is a line end too.
    EXPECT_EQ(encodeText(q(u"a\u2029b")), "a\r\nb");
}

TEST(ByteCodec, HighBytesAreWindows1252) {
    EXPECT_EQ(decodeBytes("\x80"), q(u"\u20AC"));
    EXPECT_EQ(decodeBytes("\x85"), q(u"\u2026"));
    EXPECT_EQ(decodeBytes("\x9f"), q(u"\u0178"));
    EXPECT_EQ(decodeBytes("\xa0"), q(u"\u00A0"));
    EXPECT_EQ(decodeBytes("\xe4"), q(u"\u00E4"));
    EXPECT_EQ(decodeBytes("\xff"), q(u"\u00FF"));
    // The unassigned bytes keep their C1 code points.
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(decodeBytes(std::string(1, static_cast<char>(b))), QString(QChar(b)));

    EXPECT_EQ(encodeText(q(u"\u20AC\u00E4")), "\x80\xe4");
    // No byte for these: a stand-in, never a dropped or multi-byte character.
    EXPECT_EQ(encodeText(q(u"\u65E5\u0080x")), "??x");
}

TEST(ByteCodec, ShortTextsPreferUtf8) {
    EXPECT_EQ(decodeUiText("L\xc3\xa4ufe"), q(u"L\u00E4ufe"));
    EXPECT_EQ(encodeUiText(q(u"L\u00E4ufe")), "L\xc3\xa4ufe");
    // Not UTF-8: read as the record files' code page.
    EXPECT_EQ(decodeUiText("L\xe4ufe"), q(u"L\u00E4ufe"));
    EXPECT_EQ(decodeUiText("one\r\ntwo"), q(u"one\ntwo"));
}

}  // namespace
