#include "main_window/command_line.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

void usage(std::ostream& o) {
    o << "Usage: vorbixloader [--from-menu]\n"
         "       vorbixloader --version | --help\n"
         "\n"
         "Downloads lap records from the logger over a serial line, lists, saves and loads them.\n"
         "\n"
         "The working folder holds PORT.DAT (port, speed, last folder) and the COMn links:\n"
         "the current directory, or with --from-menu (as the desktop menu starts it)\n"
         "$XDG_DATA_HOME/vorbixloader, by default ~/.local/share/vorbixloader, made when missing.\n"
         "\n"
         "Port n (COMn) is the device the symbolic link COMn in the working folder points to,\n"
         "else /dev/ttyS<n-1>: COM1 is /dev/ttyS0. Right-click a port in the PORT dialog to\n"
         "point it at a USB adapter, or: ln -sfn /dev/serial/by-id/<adapter> COM5\n";
}

}  // namespace

bool startedFromMenu(int argc, const char* const* argv) {
    return argc == 2 && std::string_view(argv[1]) == "--from-menu";
}

std::string userFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/vorbixloader";
    if (home && home[0] == '/') return std::string(home) + "/.local/share/vorbixloader";
    return "";
}

std::optional<int> handleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
    if (argc < 2) return std::nullopt;
    const std::string_view a = argv[1];
    if (argc == 2 && a == "--version") {
        out << "vorbixloader " << VL_VERSION << "\n";
        return 0;
    }
    if (argc == 2 && a == "--help") {
        usage(out);
        return 0;
    }
    if (!startedFromMenu(argc, argv)) {
        // Named, so a typing error shows among the usage lines.
        if (a != "--version" && a != "--help" && a != "--from-menu")
            err << "vorbixloader: unknown option: " << a << "\n";
        else
            err << "vorbixloader: unexpected argument: " << argv[2] << "\n";
        usage(err);
        return 2;
    }
    const std::string folder = userFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::error_code ec;
    if (folder.empty()) {
        err << "vorbixloader: no home folder to keep PORT.DAT in (HOME is not set)\n";
        return 1;
    }
    std::filesystem::create_directories(folder, ec);
    if (!ec) std::filesystem::current_path(folder, ec);
    if (ec) {
        err << "vorbixloader: cannot use " << folder << ": " << ec.message() << "\n";
        return 1;
    }
    return std::nullopt;
}
