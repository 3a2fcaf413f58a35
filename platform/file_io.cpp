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

Held holdFree(const std::string& name) {
    // The first thing a program does in its folder: clear what a killed one left there.
    const auto slash = name.find_last_of("/\\");
    removeLeftovers(slash == std::string::npos ? "." : name.substr(0, slash));
    // Another program may take a free name between the look and the creation: then look
    // again.
    for (int attempt = 0;; ++attempt) {
        Held free;
        for (int n = 1; n <= 100; ++n) {
            const std::string path = n == 1 ? name : name + "." + std::to_string(n);
            Handle h = NoHandle;
            try {
                h = openUpdate(path);
            } catch (const RuntimeError& e) {
                if (e.number() != err::FileNotFound) {
                    close(free.handle);
                    return {path, NoHandle};
                }
                if (free.path.empty()) free.path = path;
                continue;
            }
            if (h == NoHandle || !hold(h) || !isAt(h, path)) {
                close(h);
            } else if (sizeOf(h, path) > 0) {
                close(free.handle);
                return {path, h};
            } else if (free.path.empty()) {
                free = {path, h};
            } else {
                close(h);
            }
        }
        if (free.handle != NoHandle || free.path.empty()) return free;
        try {
            free.handle = createNew(free.path);
        } catch (const RuntimeError&) {
            return {free.path, NoHandle};  // a folder it cannot write: the first write says so
        }
        if (free.handle != NoHandle && hold(free.handle)) return free;
        close(free.handle);
        if (attempt == 3) return {free.path, NoHandle};
    }
}

}  // namespace platform::io
