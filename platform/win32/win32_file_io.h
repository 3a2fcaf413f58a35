// How the file calls meet other programs on Windows: a scanner, an indexer or a sync
// client that holds a file for a moment.
#pragma once

#include <functional>

namespace platform::win32 {

// Runs `call` until it returns true, and again while it fails because another program
// holds the file (a sharing or lock violation; with `denied` also access denied, which is
// what replacing or renaming a held file meets), for up to about a second; false when it
// failed, GetLastError() telling why.
bool retryShared(const std::function<bool()>& call, bool denied = true);
// What retryShared does between two tries: waits 50 ms. A test makes it release the file.
extern void (*sharedPause)();

}  // namespace platform::win32
