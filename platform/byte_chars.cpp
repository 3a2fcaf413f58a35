#include "platform/byte_chars.h"

namespace platform {

namespace {

// Windows-1252 from 0x80 to 0x9F; 0xA0-0xFF equal their code points.
constexpr char16_t HighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char16_t PictureBase = 0x2400;  // SYMBOL FOR NULL; 0x2401.. follow the bytes
constexpr char16_t DeletePicture = 0x2421;

}  // namespace

char16_t byteChar(unsigned char b) {
    if (b < 0x20) return char16_t(PictureBase + b);
    if (b == 0x7F) return DeletePicture;
    if (b >= 0x80 && b < 0xA0) return HighTable[b - 0x80];
    return char16_t(b);
}

int charByte(char16_t c) {
    if (c < 0x80) return c;  // typed or pasted as such
    if (c >= 0xA0 && c <= 0xFF) return c;
    if (c >= PictureBase && c < PictureBase + 0x20) return c - PictureBase;
    if (c == DeletePicture) return 0x7F;
    for (int i = 0; i < 32; ++i)
        if (HighTable[i] == c) return 0x80 + i;
    return -1;
}

}  // namespace platform
