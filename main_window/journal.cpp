#include "main_window/journal.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

Journal::Journal(platform::JournalFile* file, const platform::Clock& clock)
    : file_(file), clock_(clock) {}

namespace {

constexpr size_t EntryHeadSize = 19;  // "LLLLLLLL CCCCCCCC\r\n"

uint32_t crc32(std::string_view bytes) {
    static constexpr auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = ~0u;
    for (const unsigned char b : bytes) c = table[(c ^ b) & 255] ^ (c >> 8);
    return ~c;
}

// The 8 lower-case hex digits at `at`; nullopt when they are not.
std::optional<uint32_t> hex8(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (const char c : s.substr(at, 8)) {
        if (c >= '0' && c <= '9')
            v = v << 4 | uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = v << 4 | uint32_t(c - 'a' + 10);
        else
            return std::nullopt;
    }
    return v;
}

// The piece of the entry at `at` when it is whole and passes its check.
std::optional<std::string_view> entryAt(std::string_view s, size_t at) {
    if (s.size() - at < EntryHeadSize || s[at + 8] != ' ' || s.substr(at + 17, 2) != "\r\n")
        return std::nullopt;
    const auto size = hex8(s, at), crc = hex8(s, at + 9);
    if (!size || !crc || *size > s.size() - at - EntryHeadSize) return std::nullopt;
    const std::string_view piece = s.substr(at + EntryHeadSize, *size);
    if (crc32(piece) != *crc) return std::nullopt;
    return piece;
}

// Adds the line an entry of `piece` starts with to `out`; by hand, as it runs per record.
void addEntryHead(std::string& out, std::string_view piece) {
    const uint32_t fields[] = {uint32_t(piece.size()), crc32(piece)};
    for (int i = 0; i < 2; ++i) {
        for (int shift = 28; shift >= 0; shift -= 4)
            out += "0123456789abcdef"[fields[i] >> shift & 15];
        out += i == 0 ? " " : "\r\n";
    }
}

}  // namespace

std::string Journal::entryHead(std::string_view piece) {
    std::string head;
    addEntryHead(head, piece);
    return head;
}

std::string Journal::leftOver() {
    if (!file_) return {};
    std::optional<std::string> bytes;
    try {
        bytes = file_->read(ReadLimit);
    } catch (const platform::RuntimeError& e) {
        keepAside(".unread", "that could not be read", e.description());
        return {};
    }
    if (!bytes || bytes->empty()) return {};
    size_t kept = 0;     // the records, moved in place to the front: the one copy of them
    std::string damage;  // where and how the entries stop short of the end
    if (bytes->starts_with(Header1)) {
        // Only whole records: a crash while adding one leaves it without its CR LF.
        const size_t end = bytes->rfind("\r\n");
        if (end != std::string::npos && end + 2 > Header1.size()) {
            kept = end + 2 - Header1.size();
            bytes->erase(0, Header1.size());
        }
    } else if (bytes->starts_with(Header)) {
        size_t at = Header.size();
        while (at < bytes->size()) {
            const auto piece = entryAt(*bytes, at);
            if (!piece) {
                damage = file_->name() + ": from byte " + std::to_string(at) +
                         " on; only the records before that are offered";
                break;
            }
            std::memmove(bytes->data() + kept, piece->data(), piece->size());
            kept += piece->size();
            at += EntryHeadSize + piece->size();
        }
    } else {
        // A later version's, say: its records must outlive this one.
        keepAside(".unread", "that could not be read",
                  file_->name() + ": not of a format this version knows");
        return {};
    }
    bytes->resize(kept);
    if (!damage.empty()) {
        // Kept whole, for a look at what the damage took; the journal then holds the
        // records before it, so a shut-down before the answer keeps them.
        keepAside(".damaged", "that is damaged", damage);
        if (kept && file_) start(*bytes);
    } else if (!kept) {
        allSaved();
    }
    if (!kept) return {};
    // In the file only, until the operator answers: a shut-down meanwhile keeps them.
    unsaved_ = true;
    return std::move(*bytes);
}

void Journal::keepAside(const char* as, const std::string& what, const std::string& why) {
    const platform::Date d = clock_.today();
    char date[48];
    std::snprintf(date, sizeof date, "%s-%04d-%02d-%02d", as, d.year, d.month, d.day);
    try {
        // A name of its own: never over one kept before.
        for (int n = 1; n <= 100; ++n) {
            std::string suffix = date;
            if (n > 1) suffix += '-' + std::to_string(n);
            if (file_->moveAside(suffix)) {
                warning_ = "!! a journal of unsaved records " + what + " is kept as " +
                           file_->name() + suffix + " (" + why + ") !!";
                return;
            }
        }
        throw platform::RuntimeError(platform::err::PathFileAccess, "every name is taken");
    } catch (const platform::RuntimeError& e) {
        // Left where it is; a new journal would replace it, so there is none this run.
        warning_ = "!! a journal of unsaved records " + what + " is left as " + file_->name() +
                   " (" + why + "), as it could not be moved aside (" + e.description() +
                   "): crash protection is off !!";
        warned_ = true;
        file_ = nullptr;
    }
}

void Journal::restore(const std::string& records) {
    if (!file_) return;
    // Written afresh (unless leftOver() just did, past a damaged tail), which also drops
    // a tail the next records must not follow and brings an older format up to date.
    if (!mirrored_) start(records);
    unsaved_ = !broken_;
}

void Journal::discard() noexcept {
    allSaved();
}

void Journal::start(std::string_view text) {
    broken_ = false;
    mirrored_ = false;
    unsaved_ = false;
    pending_ = unsynced_ = false;
    try {
        // Empty at a download's start: no entry until a record comes.
        file_->start(text.empty() ? std::string(Header) : std::string(Header) + entryHead(text),
                     text);
        mirrored_ = true;
        lastSync_ = clock_.milliseconds();
    } catch (const platform::RuntimeError& e) {
        fail(e);
    }
}

void Journal::downloadStarted() {
    // Started at once, empty: a journal that cannot be written is known before the first
    // record, and adding that record is then all that is left to do.
    if (file_) start({});
}

void Journal::allSaved() noexcept {
    if (!file_) return;
    try {
        file_->clear();
    } catch (const platform::RuntimeError&) {
        // Its records are offered again at the next start: a nuisance, not a loss.
    }
    mirrored_ = unsaved_ = pending_ = unsynced_ = broken_ = false;
}

void Journal::append(std::string_view listed, const platform::TextBox& text) {
    if (!file_ || broken_) return;
    if (!mirrored_) {
        std::string all = text.text();
        all += listed;
        start(all);
        unsaved_ = mirrored_;
        return;
    }
    try {
        entry_.clear();  // its room kept from record to record
        addEntryHead(entry_, listed);
        entry_ += listed;
        file_->append(entry_);
        pending_ = unsynced_ = unsaved_ = true;
    } catch (const platform::RuntimeError& e) {
        fail(e);
    }
}

void Journal::syncIfDue() {
    if (!pending_ || broken_ || clock_.milliseconds() - lastSync_ < SyncEveryMs) return;
    // Not waited for: the logger is answered meanwhile.
    try {
        file_->startSync();
        pending_ = false;
        lastSync_ = clock_.milliseconds();
    } catch (const platform::RuntimeError& e) {
        fail(e);
    }
}

void Journal::sync() {
    // Also while a sync started in the background has not returned: only a sync that has
    // returned puts the records on the disk.
    if (!unsynced_ || broken_) return;
    try {
        file_->sync();
        pending_ = unsynced_ = false;
        lastSync_ = clock_.milliseconds();
    } catch (const platform::RuntimeError& e) {
        fail(e);
    }
}

void Journal::end(bool keepUnsaved) {
    if (!file_) return;
    if (keepUnsaved && unsaved_)
        sync();
    else
        file_->remove();
    file_ = nullptr;
}

void Journal::fail(const platform::RuntimeError& e) {
    // What the file already holds stays: after a crash, some records beat none.
    broken_ = true;
    pending_ = unsynced_ = false;
    if (!warned_) {
        if (!warning_.empty()) warning_ += '\n';
        warning_ += "!! crash protection is off: " + e.description() + " !!";
    }
    warned_ = true;
}

std::string Journal::takeWarning() {
    return std::exchange(warning_, {});
}
