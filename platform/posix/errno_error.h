// A failed system call on POSIX as the program's run-time error.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

// Maps an errno value to an error number and "what: system text".
RuntimeError fromErrno(int errnum, const std::string& what);

}  // namespace platform
