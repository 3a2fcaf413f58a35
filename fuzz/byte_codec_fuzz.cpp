// The record text's bytes in the text widget: every byte string comes back exactly, one
// character per byte (a CR LF pair one line break); any text encodes to one byte a
// character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "platform/qt/byte_codec.h"

using platform::qt::decodeBytes;
using platform::qt::encodeText;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const QString shown = decodeBytes(bytes);
    check(encodeText(shown) == bytes);
    size_t pairs = 0;
    for (size_t at = bytes.find("\r\n"); at != std::string_view::npos;
         at = bytes.find("\r\n", at + 2))
        ++pairs;
    check(static_cast<size_t>(shown.size()) == size - pairs);

    // Any text, as the widget may hold it (UTF-16 units from the input).
    QString text;
    for (size_t i = 0; i + 1 < size; i += 2) text += QChar(char16_t(data[i] | data[i + 1] << 8));
    // One byte a character, a line end (either kind) two.
    const auto breaks = static_cast<size_t>(text.count(QChar(u'\n')) + text.count(QChar(0x2029)));
    check(encodeText(text).size() == static_cast<size_t>(text.size()) + breaks);
    return 0;
}
