#include "main_window/journal.h"

#include <utility>

Journal::Journal(platform::JournalFile* file, const platform::Clock& clock)
    : file_(file), clock_(clock) {}

std::string Journal::leftOver() {
    if (!file_) return {};
    const auto bytes = file_->read();
    if (!bytes) return {};
    std::string records;
    if (bytes->starts_with(Header)) {
        // Only whole records: a crash while adding one leaves it without its CR LF.
        const size_t end = bytes->rfind("\r\n");
        if (end != std::string::npos && end + 2 > Header.size())
            records = bytes->substr(Header.size(), end + 2 - Header.size());
    }
    if (records.empty()) file_->remove();
    return records;
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
    pending_ = false;
    std::string bytes(Header);
    bytes += text;
    try {
        file_->start(bytes);
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
    file_->remove();
    mirrored_ = unsaved_ = pending_ = broken_ = false;
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
        pending_ = unsaved_ = true;
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
    if (!pending_ || broken_) return;
    try {
        file_->sync();
        pending_ = false;
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
        allSaved();
}

void Journal::fail(const platform::RuntimeError& e) {
    // What the file already holds stays: after a crash, some records beat none.
    broken_ = true;
    pending_ = false;
    if (!warned_) warning_ = "!! crash protection is off: " + e.description() + " !!";
    warned_ = true;
}

std::string Journal::takeWarning() {
    return std::exchange(warning_, {});
}
