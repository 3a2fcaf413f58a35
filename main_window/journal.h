// The recovery journal. While the record text holds records that are in no file, a
// journal beside PORT.DAT holds the record text too: each listed record is added to it
// before the logger is told "OK", so a crash of the program loses none of them, and it is
// forced to the disk at least once a second, so a power cut loses at most the last second.
// File format: Header, then entries, one per piece added (a listed record, or the whole
// record text when the journal starts afresh): a line "LLLLLLLL CCCCCCCC\r\n" (the
// piece's byte count and its CRC-32, each 8 lower-case hex digits), then the piece's bytes.
// A restore gives back the pieces up to the first entry that is cut short, malformed or
// fails its check: what a power cut leaves (a run of NULs, a torn write) is never restored.
// The journal is then kept aside whole and the operator told, also of a torn last entry:
// its record may have been answered within the last second, so the logger still has it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/error.h"
#include "platform/journal_file.h"

class Journal {
  public:
    // A second program in the same folder journals into FileName.2, and so on.
    static constexpr const char* FileName = ".vorbixloader.journal";
    // A later format changes the number, so it can tell old journals apart.
    static constexpr std::string_view Header = "VorbixLoader journal 2\r\n";
    // The format before entries: the record text's bytes as listed, restored up to the
    // last CR LF.
    static constexpr std::string_view Header1 = "VorbixLoader journal 1\r\n";
    static constexpr int64_t SyncEveryMs = 1000;
    // A journal holds the record text, which is a loaded file (8 MiB at most) or a
    // download, a small fraction of that, and records added to either: twice the file
    // limit reads back any journal the program writes, and a restore then costs at most
    // twice that in memory. Anything larger (a link to a device, a stray file) is kept
    // unread.
    static constexpr int64_t ReadLimit = 16 << 20;

    // Without a file the journal is off and every call does nothing.
    Journal(platform::JournalFile* file, const platform::Clock& clock);

    // The whole records of a journal an earlier run left behind; "" when there are none
    // (and then the journal is empty). A journal it cannot read and understand
    // (unreadable, a link, not a file, too large, of an unknown format) is never deleted:
    // it is moved aside under a name that says so, and takeWarning() names it. So is one
    // damaged after its first entries: the journal then holds those, which are offered.
    std::string leftOver();
    // The operator took the records back into the record text: kept until saved.
    void restore(const std::string& records);
    // The operator refused them.
    void discard() noexcept;

    // A download starts with an empty record text.
    void downloadStarted();
    // The record text is all in a file (just saved, or just loaded): nothing to keep. The
    // journal starts again with the record that next joins it.
    void allSaved() noexcept;
    // Before `listed` goes into `text` (and before its "OK").
    void append(std::string_view listed, const platform::TextBox& text);
    // Starts forcing what was added to the disk when the last time is SyncEveryMs ago.
    void syncIfDue();
    // Forces what was added to the disk now.
    void sync();
    // Shut-down: a journal with unsaved records stays when `keepUnsaved` (the operator
    // did not choose to end); any other is removed. Final: every later call does nothing,
    // so a handler that goes on after a nested loop ran the shut-down changes no file.
    void end(bool keepUnsaved);

    // What the operator must be told: a journal kept unread, or why crash protection
    // went off (once per run); "" otherwise.
    std::string takeWarning();

    // The line an entry of `piece` starts with.
    static std::string entryHead(std::string_view piece);

  private:
    void start(std::string_view text);
    void fail(const platform::RuntimeError& e);
    // Moves the journal aside as `as` (with the date) and says so: `what` it is, and why.
    void keepAside(const char* as, const std::string& what, const std::string& why);

    platform::JournalFile* file_;
    const platform::Clock& clock_;
    bool mirrored_ = false;  // the file holds the record text as it stands
    bool unsaved_ = false;   // ...and records that are in no file
    bool pending_ = false;   // added since the last sync was started
    bool unsynced_ = false;  // added since the last sync that returned
    bool broken_ = false;    // a write failed: nothing more until the text starts afresh
    bool warned_ = false;
    int64_t lastSync_ = 0;
    std::string warning_;
    std::string entry_;  // the one append() writes
};
