// The pid in a UUCP lock file: never negative or beyond the kernel's range, and the pid
// a lock file of ours holds (or an old binary one) reads back exactly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "fuzz/check.h"
#include "platform/posix/uucp_lock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int pid = platform::posix::lockFilePid(bytes);
    check(pid >= 0 && pid <= 0x3fffffff);
    // Only the first 31 bytes are read from a file, so only they may count.
    if (size > 31) check(platform::posix::lockFilePid(bytes.substr(0, 31)) == pid);

    if (size < 4) return 0;
    int32_t p = 0;
    std::memcpy(&p, data, sizeof p);
    p &= 0x3fffffff;
    if (p == 0) return 0;
    char text[16];
    const int len = std::snprintf(text, sizeof text, "%10d\n", p);
    check(platform::posix::lockFilePid(std::string_view(text, len)) == p);
    // The binary form: four bytes of a pid whose low byte is no digit and no blank.
    const auto low = static_cast<unsigned char>(p);
    if (low != ' ' && (low < '0' || low > '9'))
        check(platform::posix::lockFilePid(
                  std::string_view(reinterpret_cast<const char*>(&p), 4)) == p);
    return 0;
}
