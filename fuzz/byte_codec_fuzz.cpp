// The record text's bytes in the text widget: one character per byte, a CR LF pair one
// line break, and no other byte breaks a line, so the widget shows the lines the bytes hold.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/check.h"
#include "platform/qt/byte_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString shown = platform::qt::decodeBytes(bytes);
    size_t pairs = 0;
    for (size_t at = bytes.find("\r\n"); at != std::string_view::npos;
         at = bytes.find("\r\n", at + 2))
        ++pairs;
    check(static_cast<size_t>(shown.size()) == size - pairs);
    check(static_cast<size_t>(shown.count(QChar(u'\n'))) == pairs);
    for (QChar c : {QChar(u'\r'), QChar(0x2028), QChar(0x2029), QChar(0x85)})
        check(!shown.contains(c));
    return 0;
}
