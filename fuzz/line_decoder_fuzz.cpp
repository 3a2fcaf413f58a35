// The mark decoder must give the same result however the stream is cut into reads, and
// must give back exactly the data and errors a marked stream was made from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/line_decoder.h"

namespace {

struct Result {
    std::string data;
    std::vector<size_t> errors;
    bool operator==(const Result&) const = default;
};

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Feeds `raw` in pieces of 1 to 8 bytes whose sizes follow from `cuts`.
Result decodeInPieces(std::string_view raw, uint32_t cuts) {
    platform::posix::LineDecoder d;
    Result r;
    for (size_t at = 0; at < raw.size();) {
        cuts = cuts * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(1 + (cuts >> 16) % 8, raw.size() - at);
        d.feed(raw.substr(at, n), r.data, r.errors);
        at += n;
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const uint32_t cuts = bytes[0];
    const std::string_view raw(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    // Any stream, including ones the kernel never makes.
    platform::posix::LineDecoder whole;
    Result once;
    whole.feed(raw, once.data, once.errors);
    check(decodeInPieces(raw, cuts) == once);
    check(once.data.size() <= raw.size());
    for (size_t i = 0; i < once.errors.size(); ++i) {
        check(once.errors[i] <= once.data.size());
        check(i == 0 || once.errors[i - 1] <= once.errors[i]);
    }

    // Read the input as data bytes and errors (0xFE c: an error on c), mark it as the
    // kernel does, and decode it back.
    Result expected;
    std::string marked;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\xFE' && i + 1 < raw.size()) {
            expected.errors.push_back(expected.data.size());
            marked += '\xFF';
            marked += '\0';
            marked += raw[++i];
        } else {
            expected.data += c;
            marked += c;
            if (c == '\xFF') marked += c;
        }
    }
    check(decodeInPieces(marked, cuts ^ 0x5a5a5a5au) == expected);
    return 0;
}
