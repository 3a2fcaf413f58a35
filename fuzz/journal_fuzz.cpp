// The crash journal read at start-up, from any bytes in a real file: the records given
// back are exactly the whole ones after the header, and a restore writes back exactly
// those; a file of another format, or one too large to read, is moved aside whole and
// named, never deleted; nothing else is left in the folder; and no more memory is taken
// than twice the file's size.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/check.h"
#include "main_window/journal.h"

namespace {

namespace fs = std::filesystem;

struct Day : platform::Clock {
    platform::Date today() const override { return {2005, 1, 9}; }
};

// The folder of the journal, once for the run: in memory where there is a tmpfs.
const fs::path& folder() {
    static const fs::path dir = [] {
        std::string name =
            (fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
            "vl-journal-XXXXXX";
        check(::mkdtemp(name.data()) != nullptr);
        std::atexit([] { fs::remove_all(folder()); });
        return fs::path(name);
    }();
    return dir;
}

// The most bytes held at once while `peak` is watched.
std::atomic<bool> watching{false};
std::atomic<size_t> peak{0};
void onMalloc(const volatile void*, size_t) {
    if (watching) peak = std::max(peak.load(), __sanitizer_get_current_allocated_bytes());
}
void onFree(const volatile void*) {}

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    (void)hooked;
    // A first byte 0xFF makes the file one byte larger than a journal is read: sparse, so
    // the run stays fast, and what a reader that ignored the bound would take shows.
    const bool huge = size > 0 && data[0] == 0xFF;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const fs::path path = folder() / Journal::FileName;
    const fs::path aside = folder() / (std::string(Journal::FileName) + ".unread-2005-01-09");
    std::ofstream(path, std::ios::binary) << bytes;
    if (huge) fs::resize_file(path, Journal::ReadLimit + 1);
    const size_t fileSize = huge ? Journal::ReadLimit + 1 : size;

    Day day;
    auto file = platform::systemJournalFile(path.string());
    Journal journal(file.get(), day);
    const size_t before = __sanitizer_get_current_allocated_bytes();
    peak = before;
    watching = true;
    std::string records = journal.leftOver();
    const std::string told = journal.takeWarning();
    if (!records.empty()) journal.restore(records);
    watching = false;
    // The bytes read and the records cut from them in place, the file they are written
    // back to, and room for the calls' own; a file too large is not read at all.
    check(peak - before <= 2 * (huge ? 0 : fileSize) + (64 << 10));

    const std::string_view header = Journal::Header;
    const size_t end = bytes.rfind("\r\n");
    if (!huge && bytes.starts_with(header)) {
        // Understood: the whole records, or none and an empty file.
        const bool some = end != std::string::npos && end + 2 > header.size();
        check(told.empty() && !fs::exists(aside));
        check(records == (some ? bytes.substr(header.size(), end + 2 - header.size()) : ""));
        check(some ? contents(path) == std::string(header) + records : contents(path).empty());
    } else if (!huge && bytes.empty()) {
        check(records.empty() && told.empty() && contents(path).empty() && !fs::exists(aside));
    } else {
        // Kept whole, aside, and named.
        check(records.empty() && contents(path).empty());
        check(told.find(aside.filename().string()) != std::string::npos);
        check(huge ? fs::file_size(aside) == fileSize : contents(aside) == bytes);
    }
    journal.end(false);
    fs::remove(aside);
    check(fs::is_empty(folder()));
    return 0;
}
