// The record file reader: lines end at CR LF, a lone CR or a lone LF, any other byte
// (NUL, 8-bit) is kept, a last line without an end counts when not empty, and a file
// read is what it held when opened, however much is appended meanwhile.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/check.h"
#include "platform/files.h"

namespace {

std::vector<std::string> expectedLines(std::string_view s) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += s[i];
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

// One in-memory file for the whole run, reached by a path as the program reaches files.
int memoryFile() {
    static const int fd = ::memfd_create("record", MFD_CLOEXEC);
    return fd;
}

void write(const std::string& bytes) {
    check(::pwrite(memoryFile(), bytes.data(), bytes.size(), 0) ==
          static_cast<ssize_t>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader takes 7 bytes a read here (see CMakeLists.txt): every kind of line end
    // falls across a read's edge somewhere. 512 bytes hold each kind at every place
    // against an edge; longer files only repeat them, at a read call per 7 bytes.
    const std::string content(reinterpret_cast<const char*>(data), std::min<size_t>(size, 512));

    const int fd = memoryFile();
    check(fd >= 0 && ::ftruncate(fd, 0) == 0);
    write(content);
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    platform::Files files;
    files.openInput(1, path);
    write(content + "appended\r\nmore");  // a writer still at work
    check(files.lof(1) == static_cast<int64_t>(content.size()));
    std::vector<std::string> lines;
    while (!files.eof(1)) lines.push_back(files.lineInput(1));
    check(lines == expectedLines(content));
    files.close(1);

    files.openInput(2, path);
    const int64_t held = files.lof(2);
    check(files.readAll(2).size() == static_cast<size_t>(held));
    files.close(2);
    return 0;
}
