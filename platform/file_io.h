// The system calls under Files: each system realises these few, Files does the rest.
// Every failing call throws RuntimeError naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::io {

using Handle = std::intptr_t;  // a descriptor or a HANDLE
constexpr Handle NoHandle = -1;

// Opens an existing regular file for reading; anything else (a folder, a pipe, a device)
// is refused without blocking.
Handle openInput(const std::string& path);
// The size of an open file in bytes.
int64_t sizeOf(Handle h, const std::string& what);

// An output file under construction: written to `temp` beside `target`.
struct Output {
    Handle handle = NoHandle;
    std::string target;  // the name the temporary file becomes
    std::string temp;
};
// Creates the temporary file for `name` (through links to their target; a new file
// keeps the mode of the one it replaces). Its name has a fixed length, so any name the
// file system takes for the target will do.
Output createOutput(const std::string& name);

// Reads up to `size` bytes; 0 at the end.
size_t read(Handle h, char* data, size_t size, const std::string& what);
void writeAll(Handle h, const char* data, size_t size, const std::string& what);
// Makes the written bytes durable, closes the handle and moves the temporary file over
// its target, durably.
void commit(Output& out);
void close(Handle h) noexcept;
void remove(const std::string& path) noexcept;

}  // namespace platform::io
