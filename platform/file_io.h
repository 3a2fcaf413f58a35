// The system calls under Files: each system realises these few, Files does the rest.
// Every failing call throws RuntimeError naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform::io {

using Handle = std::intptr_t;  // a descriptor or a HANDLE
constexpr Handle NoHandle = -1;

// Whether a name that is a symbolic link (on Windows, a reparse point that names another
// file, as a junction does) leads to its target. Files the operator names follow links;
// the program's own files never do, as anyone who may write the folder can put a link
// there.
enum class Links { Follow, Refuse };

// Opens an existing regular file for reading; anything else (a folder, a pipe, a device,
// and with Links::Refuse a link) is refused without blocking.
Handle openInput(const std::string& path, Links links = Links::Follow);
// The size of an open file in bytes.
int64_t sizeOf(Handle h, const std::string& what);

// An output file under construction: written to `temp` beside `target`.
struct Output {
    Handle handle = NoHandle;
    std::string target;  // the name the temporary file becomes
    std::string temp;
};
// Creates the temporary file for `name`, a new file of a fresh name made exclusively, with
// the mode the umask gives (never one copied from the file it replaces). Its name has a fixed
// length, so any name the file system takes for the target will do. A link at `name` leads to its
// target; with Links::Refuse the link itself is replaced, and nothing is written through it.
Output createOutput(const std::string& name, Links links = Links::Follow);

// Reads up to `size` bytes; 0 at the end.
size_t read(Handle h, char* data, size_t size, const std::string& what);
void writeAll(Handle h, const char* data, size_t size, const std::string& what);
// Forces the written bytes (and what it takes to read them back) to the disk.
void flush(Handle h, const std::string& what);
// Makes the written bytes durable and moves the temporary file over its target, durably.
// The handle is closed; with `keepOpen` it is returned instead, writing at the end of the
// file now at the target's name.
Handle commit(Output& out, bool keepOpen = false);
void close(Handle h) noexcept;
void remove(const std::string& path) noexcept;
// Gives `from` the name `to` when no file has that name; false when one has. A link is
// moved, not what it leads to.
bool moveAside(const std::string& from, const std::string& to);

// Holding a file against other programs (the journal's):
// Opens an existing regular file for reading and writing, never through a link; NoHandle
// when another program has it open in a way that keeps others out (Windows).
Handle openUpdate(const std::string& path);
// Creates `path` as a new empty file, never over one nor through a link (hidden on
// Windows: only the program's own files are made here); NoHandle when a file has that name.
Handle createNew(const std::string& path);
// Takes the open file for this program alone, without waiting, until the handle closes;
// false when another program holds it.
bool hold(Handle h);
// Whether the open file is still the one at `path` (not replaced or removed meanwhile).
bool isAt(Handle h, const std::string& path);
// Removes the temporary files createOutput made in `dir` that a killed program left: only
// names of its pattern, only regular files of this user's that no live program writes.
void removeLeftovers(const std::string& dir);
// Empties the open file, durably.
void empty(Handle h, const std::string& what);

// Built on the calls above, for every system (file_io.cpp):
// The regular file at `path`, never through a link, read whole into a string of its size;
// nullopt when there is none. Throws when what is there cannot be read whole, or holds
// more than `limit` bytes (then nothing is read).
std::optional<std::string> readWhole(const std::string& path, int64_t limit);
// The file a program keeps its journal in: of `name`, `name`.2, `name`.3 ..., the first that
// no live program holds and that holds bytes (an ended program's, or something that is not
// a file, which `handle` NoHandle then reports), else the first free one, created empty.
// Held (`handle`) unless it cannot be created (then its reason shows on the first write).
struct Held {
    std::string path;
    Handle handle = NoHandle;
};
Held holdFree(const std::string& name);

}  // namespace platform::io
