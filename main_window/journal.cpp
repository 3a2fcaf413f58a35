#include "main_window/journal.h"

#include <cstdio>
#include <optional>
#include <utility>

Journal::Journal(platform::JournalFile* file, const platform::Clock& clock)
    : file_(file), clock_(clock) {}

std::string Journal::leftOver() {
    if (!file_) return {};
    std::optional<std::string> bytes;
    try {
        bytes = file_->read(ReadLimit);
    } catch (const platform::RuntimeError& e) {
        keepUnread(e.description());
        return {};
    }
    if (!bytes) return {};
    if (!bytes->empty() && !bytes->starts_with(Header)) {
        // A later version's, say: its records must outlive this one.
        keepUnread(file_->name() + ": not of a format this version knows");
        return {};
    }
    // Only whole records: a crash while adding one leaves it without its CR LF.
    const size_t end = bytes->rfind("\r\n");
    if (bytes->empty() || end + 2 <= Header.size()) {
        if (!bytes->empty()) allSaved();
        return {};
    }
    // Cut in place: these bytes are the one copy of the records.
    bytes->resize(end + 2);
    bytes->erase(0, Header.size());
    // In the file only, until the operator answers: a shut-down meanwhile keeps them.
    unsaved_ = true;
    return std::move(*bytes);
}

void Journal::keepUnread(const std::string& why) {
    const platform::Date d = clock_.today();
    char date[48];
    std::snprintf(date, sizeof date, ".unread-%04d-%02d-%02d", d.year, d.month, d.day);
    try {
        // A name of its own: never over one kept before.
        for (int n = 1; n <= 100; ++n) {
            std::string suffix = date;
            if (n > 1) suffix += '-' + std::to_string(n);
            if (file_->moveAside(suffix)) {
                warning_ = "!! a journal of unsaved records that could not be read is kept as " +
                           file_->name() + suffix + " (" + why + ") !!";
                return;
            }
        }
        throw platform::RuntimeError(platform::err::PathFileAccess, "every name is taken");
    } catch (const platform::RuntimeError& e) {
        // Left where it is; a new journal would replace it, so there is none this run.
        warning_ = "!! a journal of unsaved records that could not be read is left as " +
                   file_->name() + " (" + why + "), as it could not be moved aside (" +
                   e.description() + "): crash protection is off !!";
        warned_ = true;
        file_ = nullptr;
    }
}

void Journal::restore(const std::string& records) {
    if (!file_) return;
    // Written afresh, which also drops a torn tail the next records must not follow.
    start(records);
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
        file_->start(Header, text);
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
        file_->append(listed);
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
    if (!warned_) warning_ = "!! crash protection is off: " + e.description() + " !!";
    warned_ = true;
}

std::string Journal::takeWarning() {
    return std::exchange(warning_, {});
}
