#include "platform/posix/places.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

namespace platform {

namespace {

// Kernel and container plumbing: never a place to keep files on.
constexpr std::string_view Plumbing[] = {
    "proc",   "sysfs",       "devtmpfs",    "devpts",         "cgroup",  "cgroup2",  "securityfs",
    "pstore", "debugfs",     "tracefs",     "configfs",       "fusectl", "mqueue",   "hugetlbfs",
    "bpf",    "binfmt_misc", "autofs",      "rpc_pipefs",     "nsfs",    "efivarfs", "selinuxfs",
    "nfsd",   "fuse.lxcfs",  "fuse.portal", "fuse.gvfsd-fuse"};

// Memory and image file systems: fine when the operator mounted one under a media
// folder on purpose, noise anywhere else.
constexpr std::string_view Volatile[] = {"tmpfs", "ramfs", "overlay", "squashfs"};

// Folders of the system itself; a volume mounted there is not the operator's.
constexpr std::string_view SystemFolders[] = {"/proc", "/sys", "/dev", "/run", "/boot",
                                              "/snap", "/etc", "/usr", "/var", "/tmp"};

constexpr std::string_view MediaFolders[] = {"/media", "/mnt", "/run/media"};

bool within(std::string_view path, std::string_view folder) {
    return path == folder ||
           (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
            path[folder.size()] == '/');
}

template <size_t N>
bool oneOf(std::string_view s, const std::string_view (&set)[N]) {
    return std::find(std::begin(set), std::end(set), s) != std::end(set);
}

template <size_t N>
bool withinAny(std::string_view path, const std::string_view (&folders)[N]) {
    return std::any_of(std::begin(folders), std::end(folders),
                       [&](std::string_view f) { return within(path, f); });
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// The mount table writes blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool wanted(const std::string& mountPoint, const std::string& type) {
    if (mountPoint.empty() || mountPoint[0] != '/' || mountPoint == "/") return false;
    if (oneOf(type, Plumbing)) return false;
    if (withinAny(mountPoint, MediaFolders)) return true;
    if (oneOf(type, Volatile)) return false;
    return !withinAny(mountPoint, SystemFolders);
}

}  // namespace

std::vector<std::string> placesIn(const std::string& mounts) {
    std::vector<std::string> out{"/"};
    std::istringstream in(mounts);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) continue;
        mountPoint = unescape(mountPoint);
        while (mountPoint.size() > 1 && mountPoint.back() == '/') mountPoint.pop_back();
        if (!wanted(mountPoint, type)) continue;
        // A folder mounted over again (a bind, a stacked mount) is still one place.
        if (std::find(out.begin(), out.end(), mountPoint) == out.end()) out.push_back(mountPoint);
    }
    return out;
}

std::vector<std::string> places() {
    std::ifstream in("/proc/self/mounts");
    if (!in) return {"/"};
    std::ostringstream text;
    text << in.rdbuf();
    return placesIn(text.str());
}

std::string placeOf(const std::string& path, const std::vector<std::string>& among) {
    std::string best = "/";
    for (const auto& p : among)
        if (p != "/" && p.size() > best.size() && within(path, p)) best = p;
    return best;
}

std::string placeOf(const std::string& path) {
    return placeOf(path, places());
}

std::string documentsFolderIn(const std::string& userDirs, const std::string& home) {
    // Lines of the form XDG_DOCUMENTS_DIR="$HOME/Documents": a full path or one under
    // $HOME, quoted; "$HOME/" alone means no folder of its own.
    constexpr std::string_view Key = "XDG_DOCUMENTS_DIR=\"";
    std::istringstream in(userDirs);
    std::string line, found;
    while (std::getline(in, line)) {
        if (line.rfind(Key, 0) != 0) continue;
        const auto end = line.find('"', Key.size());
        if (end == std::string::npos) continue;
        std::string value = line.substr(Key.size(), end - Key.size());
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        else if (value.empty() || value[0] != '/')
            continue;
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        found = value;  // the last line counts, as for the shell that reads the file
    }
    return found.empty() ? home : found;
}

}  // namespace platform
