#include "platform/log.h"

#include <cstdio>

namespace platform {

void logLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace platform
