// The process on Windows: one main window, run until it is closed.
#include <windows.h>
// knownfolders.h needs windows.h first.
#include <knownfolders.h>

#include <string>
#include <string_view>

#include "main_window/vorbix_loader.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/journal_file.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_comm_port.h"
#include "platform/win32/win32_ui.h"

namespace {

constexpr const char* Usage =
    "Usage: vorbixloader.exe [--from-menu]\n"
    "       vorbixloader.exe --version | --help\n"
    "\n"
    "Downloads lap records from the logger over a serial line, lists, saves and loads them.\n"
    "\n"
    "The working folder holds PORT.DAT (port, speed, last folder): the folder the program is "
    "started in, or with --from-menu (as the Start-menu entry starts it) or when started in "
    "its own folder (a double-click on it) %LOCALAPPDATA%\\VorbixLoader, made when missing. "
    "The first SAVE offers the working folder, or in %LOCALAPPDATA%\\VorbixLoader your "
    "Documents folder.\n"
    "\n"
    "Port n (COMn) is \\\\.\\COMn.";

// The Start-menu entry's working folder: one of the user's own, as Program Files is not
// writable for the operator, made by whoever starts the program (the installer cannot
// make it for every user). Returns what went wrong, or "".
std::string enterUserFolder() {
    using namespace platform::win32;
    const std::string base = knownFolder(FOLDERID_LocalAppData, true);
    if (base.empty()) return "no folder for local application data";
    const std::string folder = base + "\\VorbixLoader";
    const std::wstring wide = widen(folder);
    if ((!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) ||
        !SetCurrentDirectoryW(wide.c_str()))
        return lastError("cannot use " + folder).description();
    return "";
}

// Explorer starts a program in its own folder, which is not writable for the operator
// once installed: such a start works as the Start-menu entry's does.
bool startedInOwnFolder(const platform::FileSystem& system) {
    std::wstring exe(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    exe.resize(n < exe.size() ? n : 0);
    const size_t sep = exe.find_last_of(L'\\');
    if (sep == std::wstring::npos) return false;
    // With its separator, so a drive's root stays the root.
    const std::string folder = platform::win32::narrow(std::wstring_view(exe).substr(0, sep + 1));
    return lstrcmpiW(platform::win32::widen(system.absolute(folder)).c_str(),
                     platform::win32::widen(system.currentDirectory()).c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // An empty card reader or drive in the drive list, or in the remembered folder, fails
    // the call that touches it instead of raising the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    platform::win32::startUp();
    // One file system for the logic and the windows' file lists.
    const platform::FileSystem& fileSystem = platform::systemFileSystem();
    platform::win32::Win32Ui ui(VorbixLoader::Title, fileSystem);

    const std::string arg = argc > 1 ? argv[1] : "";
    const bool known = arg == "--version" || arg == "--help" || arg == "--from-menu";
    if (argc > 2 || (argc == 2 && !known)) {
        // Named, so a typing error shows above the usage.
        const std::string what =
            known ? "unexpected argument: " + std::string(argv[2]) : "unknown option: " + arg;
        ui.msgBox(what + "\n\n" + Usage, platform::Icon::Exclamation);
        return 2;
    }
    if (arg == "--version" || arg == "--help") {
        ui.msgBox(arg == "--help" ? Usage : std::string("vorbixloader ") + VL_VERSION,
                  platform::Icon::None);
        return 0;
    }
    const bool fromMenu = arg == "--from-menu" || startedInOwnFolder(fileSystem);
    if (fromMenu) {
        const std::string failure = enterUserFolder();
        if (!failure.empty()) {
            ui.msgBox(failure, platform::Icon::Critical);
            return 1;
        }
    }

    platform::setErrorReport(
        [&ui](int number, const std::string& description) { ui.reportError(number, description); });

    auto form = ui.createForm(VorbixLoader::formTable());
    platform::win32::Win32CommPort comm;
    platform::Files files;
    platform::SystemClock clock;
    // Beside PORT.DAT, in the working directory.
    auto journalFile = platform::systemJournalFile(Journal::FileName);
    VorbixLoader window(ui, *form, comm, files, fileSystem, clock, journalFile.get());
    window.fromMenu = fromMenu;

    platform::runHandler([&] { window.Form_Load(); });
    form->show();
    return ui.run();
}
