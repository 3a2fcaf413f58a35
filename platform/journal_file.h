// The one file the crash journal lives in: written in order, forced to the disk on
// request, replaced whole. Small on purpose: each platform realises it on its file-I/O
// calls (file_io.h). Never through a link: the working folder may be shared, and a link
// there must not make the program write, or read, a file it did not make.
// Programs that share a folder each hold a journal of their own (io::holdFree): from its
// first call to its end a program holds one that no other live program holds, preferring
// one an ended program left.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class JournalFile {
  public:
    virtual ~JournalFile() = default;
    // The file's name, one of the name given and its numbered names.
    virtual std::string name() = 0;
    // The file's bytes; nullopt when there is none. Throws RuntimeError, saying why, when
    // what is at its name cannot be read whole: a link, not a regular file, not readable,
    // a read that fails, or more than `limit` bytes (then none are read).
    virtual std::optional<std::string> read(int64_t limit) = 0;
    // Gives the file its name followed by `suffix`, when no file has that name; false
    // when one has. Throws RuntimeError.
    virtual bool moveAside(const std::string& suffix) = 0;
    // Replaces the file, at once and whole, with `head` and `rest` forced to the disk, and
    // keeps it open for append(). Throws RuntimeError.
    virtual void start(std::string_view head, std::string_view rest) = 0;
    // Adds `bytes` at the end of the started file (the system's cache, not yet the disk).
    // Throws RuntimeError; a failed append may leave part of `bytes` behind.
    virtual void append(std::string_view bytes) = 0;
    // Forces what was appended to the disk; returns once it is there. Throws RuntimeError.
    virtual void sync() = 0;
    // Starts forcing what was appended so far to the disk and returns without waiting for
    // it; a failure is raised by the next call. A realisation may simply sync().
    virtual void startSync() = 0;
    // Empties the file, which stays held. Throws RuntimeError.
    virtual void clear() = 0;
    // Closes and deletes the file: the program ends. Nothing happens when it holds none.
    virtual void remove() noexcept = 0;
};

// The journal at `path` on this machine's file system (posix/journal_file.cpp; a Win32
// realisation defines the same function).
std::unique_ptr<JournalFile> systemJournalFile(std::string path);

}  // namespace platform
