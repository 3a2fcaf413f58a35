// The crash journal read at start-up from a real file: either any bytes, or a journal of
// entries made of the input's pieces and then cut, or changed at one byte, somewhere after
// its header. The records given back are exactly those of the entries before the damage
// (of an older format's journal, the whole records), and a restore writes back exactly
// those; a damaged journal, one of another format or one too large to read is moved aside
// whole and named, never deleted; nothing else is left in the folder; and no more memory
// is taken than twice the file's size.
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
#include <utility>
#include <vector>

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

// The journal of entries made of `data` (pieces, each after its length byte), damaged as
// its first three bytes say; `records` is what a start must give back of it.
std::string built(const uint8_t* data, size_t size, std::string& records, bool& damaged) {
    if (size < 3) return {};
    std::string journal(Journal::Header);
    std::vector<std::pair<size_t, std::string>> ends;  // where each entry ends, its piece
    for (size_t at = 3; at < size;) {
        const size_t n = std::min<size_t>(data[at], size - at - 1);
        std::string piece(reinterpret_cast<const char*>(data) + at + 1, n);
        journal += Journal::entryHead(piece) + piece;
        ends.emplace_back(journal.size(), std::move(piece));
        at += 1 + n;
    }
    // A cut (0) anywhere after the header, or a byte changed (by xor with that value).
    const uint8_t change = data[2];
    const size_t room = journal.size() - Journal::Header.size() + (change ? 0 : 1);
    damaged = room > 0;
    if (!damaged) return journal;
    const size_t pos = Journal::Header.size() + (data[0] << 8 | data[1]) % room;
    if (change)
        journal[pos] ^= char(change);
    else
        journal.resize(pos);
    for (const auto& [end, piece] : ends) {
        if (end > pos) break;
        records += piece;
        damaged = damaged && !(change == 0 && end == pos);
    }
    damaged = damaged && !(change == 0 && pos == Journal::Header.size());
    return journal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    (void)hooked;
    // A first byte 0xFF makes the file one byte larger than a journal is read: sparse, so
    // the run stays fast, and what a reader that ignored the bound would take shows. Any
    // other odd one makes a journal of entries of the rest.
    const bool huge = size > 0 && data[0] == 0xFF;
    const bool entries = !huge && size > 0 && data[0] % 2 == 1;
    std::string expected;  // of the journal of entries
    bool damaged = false;
    const std::string bytes = entries ? built(data + 1, size - 1, expected, damaged)
                                      : std::string(reinterpret_cast<const char*>(data), size);
    const fs::path path = folder() / Journal::FileName;
    const std::string name = std::string(Journal::FileName);
    const fs::path unread = folder() / (name + ".unread-2005-01-09");
    const fs::path aside = folder() / (name + ".damaged-2005-01-09");
    std::ofstream(path, std::ios::binary) << bytes;
    if (huge) fs::resize_file(path, Journal::ReadLimit + 1);
    const size_t fileSize = huge ? Journal::ReadLimit + 1 : bytes.size();

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

    // What a restore leaves: the records in one entry, or no journal at all.
    const std::string written =
        records.empty() ? "" : std::string(Journal::Header) + Journal::entryHead(records) + records;
    const std::string_view header1 = Journal::Header1;
    const size_t end = bytes.rfind("\r\n");
    if (entries) {
        check(records == expected && contents(path) == written && !fs::exists(unread));
        check(damaged ? told.find(aside.filename().string()) != std::string::npos &&
                            contents(aside) == bytes
                      : told.empty() && !fs::exists(aside));
    } else if (!huge && bytes.starts_with(header1)) {
        // The whole records, or none and an empty file.
        const bool some = end != std::string::npos && end + 2 > header1.size();
        check(told.empty() && !fs::exists(unread));
        check(records == (some ? bytes.substr(header1.size(), end + 2 - header1.size()) : ""));
        check(contents(path) == written);
    } else if (!huge && bytes.starts_with(Journal::Header)) {
        // Whatever the entries give back is written back alone; damage is kept whole.
        check(contents(path) == written && !fs::exists(unread));
        check(told.empty() ? !fs::exists(aside) : contents(aside) == bytes);
    } else if (!huge && bytes.empty()) {
        check(records.empty() && told.empty() && contents(path).empty() && !fs::exists(unread));
    } else {
        // Kept whole, aside, and named.
        check(records.empty() && contents(path).empty());
        check(told.find(unread.filename().string()) != std::string::npos);
        check(huge ? fs::file_size(unread) == fileSize : contents(unread) == bytes);
    }
    journal.end(false);
    fs::remove(unread);
    fs::remove(aside);
    check(fs::is_empty(folder()));
    return 0;
}
