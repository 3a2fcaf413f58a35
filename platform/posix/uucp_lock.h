// UUCP lock files: "LCK..<device name>" in a lock folder, holding the pid of the process
// that has the device open. Programs that open serial ports keep off each other's devices
// by them; a file whose process has gone is stale and may be replaced.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// The pid a lock file's bytes name (ASCII, or the old 4-byte binary form), 0 for none.
// Only the first 31 bytes count.
int lockFilePid(std::string_view bytes);

// The live process holding `device`'s lock file in one of `dirs`, or 0 when none does.
pid_t lockHolder(const std::vector<std::string>& dirs, const std::string& device);

// Takes `device`'s lock in the first writable folder of `dirs`, replacing a stale file,
// and returns the lock file's path; "" when no folder takes one (the device's advisory
// lock then still keeps other programs off). Throws RuntimeError (PortAlreadyOpen),
// naming `port`, when another program holds the lock.
std::string takeLock(const std::vector<std::string>& dirs, const std::string& device,
                     const std::string& port);

// Removes the lock file at `path` if it is still ours.
void releaseLock(const std::string& path);

}  // namespace platform::posix
