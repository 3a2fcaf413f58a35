// Record text is bytes shown one character per byte, so that every byte survives a round
// trip through a text control and every caret position maps to one byte. Both window
// systems use this one mapping; each treats the CR LF pair, the line end, its own way.
#pragma once

namespace platform {

// The character byte `b` shows as: ASCII and 0xA0-0xFF as themselves, 0x80-0x9F as
// Windows-1252 (its unassigned bytes keep their C1 code points), any other control byte
// as its Unicode control picture.
char16_t byteChar(unsigned char b);

}  // namespace platform
