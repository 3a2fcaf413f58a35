// The "PORT.DAT" text: the port number bare, then the speed and the record folder each
// in double quotation marks, every field followed by CR LF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

struct PortSettings {
    int16_t port = 1;
    std::string bps;
    std::string folder;
};

// Reads the three fields, or nothing when the text does not hold them.
//
// Fields are separated by a comma or a line end (CR LF, and also a lone CR or LF, as
// an editor on this system leaves them). Before a field, blanks, tabs and empty lines
// are skipped. A field that starts with a quotation mark runs to the next one (commas
// and line ends included) and loses its marks; anything between the closing mark and
// the next delimiter is ignored. Any other field runs to the next comma or line end,
// without its trailing blanks and tabs. Two commas in a row make an empty field.
// Fields after the third are ignored.
//
// It fails when fewer than three fields are present, a quotation mark is never closed,
// or the first field is not an optionally signed decimal number that fits 16 bits.
std::optional<PortSettings> parse(std::string_view text);

// The file's bytes; strings go between the marks unchanged (there is no escaping, so
// a quotation mark inside one does not read back).
std::string format(const PortSettings& s);

}  // namespace settings
