// Sequential files by number, opened just before use and closed right after.
// An output file is written to a temporary file beside its target and renamed over it
// when closed, so a failure never leaves a truncated file behind. The temporary file's
// name has a fixed length: any name the file system takes for the target will do.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_io.h"

namespace platform {

class Files {
  public:
    Files();
    ~Files();  // drops unfinished output files
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;

    int16_t freeFile() const;  // the lowest number not open
    // An input file is read as it was when opened: bytes appended later (a file still
    // being written) are not read, so reading always ends.
    void openInput(int16_t n, const std::string& path);
    // The length in bytes of an input file as opened: all that reading it returns.
    int64_t lof(int16_t n);
    // A link at `path` leads to its target unless `links` refuses it (the program's own
    // files): then the link itself is replaced.
    void openOutput(int16_t n, const std::string& path, io::Links links = io::Links::Follow);
    void print(int16_t n, std::string_view bytes);
    std::string readAll(int16_t n);
    // The bytes up to the next CR or LF; a CR LF pair ends one line. Throws at the end.
    std::string lineInput(int16_t n);
    bool eof(int16_t n);
    // Finishes the file (an output file replaces its target); closing a number that is
    // not open does nothing.
    void close(int16_t n);
    // Closes without finishing: an output file's target stays as it was.
    void discard(int16_t n) noexcept;
    void closeAll();
    bool isOpen(int16_t n) const { return open_.count(n) != 0; }

  private:
    struct File;
    File& get(int16_t n);
    void fill(File& f);
    void flush(File& f);
    std::map<int16_t, std::unique_ptr<File>> open_;
};

}  // namespace platform
