// The command line, read before any window opens.
#pragma once

#include <optional>
#include <ostream>
#include <string>

// Answers --version and --help, refuses anything else but --from-menu by naming it and
// showing the usage, and for --from-menu makes the per-user folder the working directory.
// Returns the exit status when the program is to end here.
std::optional<int> handleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);

// Whether the desktop menu started the program (--from-menu).
bool startedFromMenu(int argc, const char* const* argv);

// The per-user working folder: $XDG_DATA_HOME/vorbixloader, where XDG_DATA_HOME defaults
// to ~/.local/share (and a relative one is ignored); "" without a home folder.
std::string userFolder(const char* xdgDataHome, const char* home);
