#include "platform/file_io.h"

#include "platform/error.h"

namespace platform::io {

std::optional<std::string> readWhole(const std::string& path, int64_t limit) {
    Handle h = NoHandle;
    try {
        h = openInput(path, Links::Refuse);
    } catch (const RuntimeError& e) {
        if (e.number() == err::FileNotFound) return std::nullopt;
        throw;
    }
    try {
        const int64_t size = sizeOf(h, path);
        if (size > limit)
            throw RuntimeError(err::PathFileAccess, path + ": " + std::to_string(size) +
                                                        " bytes, over the limit of " +
                                                        std::to_string(limit));
        // One string of the file's size, filled in place: no copy, no spare capacity.
        std::string all(static_cast<size_t>(size), '\0');
        size_t got = 0;
        while (got < all.size()) {
            const size_t n = read(h, all.data() + got, all.size() - got, path);
            if (n == 0) break;  // shorter meanwhile
            got += n;
        }
        all.resize(got);
        close(h);
        return all;
    } catch (...) {
        close(h);
        throw;
    }
}

}  // namespace platform::io
