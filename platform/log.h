// The program's log: one line on stderr for what a person may look for afterwards (the
// text of an error report, a port that hung up, why a file would not load). Nothing
// reads it back: errors and events reach the program through the interfaces, never
// through here.
#pragma once

#include <string>

namespace platform {

void logLine(const std::string& line);

}  // namespace platform
