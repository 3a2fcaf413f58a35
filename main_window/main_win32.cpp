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
#include "platform/win32/win32_ui.h"

namespace {

constexpr const char* Usage =
    "Usage: vorbixloader.exe [--from-menu]\n"
    "       vorbixloader.exe --version | --help\n"
    "\n"
    "Downloads lap records from the logger over a serial line, lists, saves and loads them.\n"
    "\n"
    "The working folder holds PORT.DAT (port, speed, last folder): the folder the program is "
    "started in, or with --from-menu (as the Start-menu entry starts it) "
    "%LOCALAPPDATA%\\VorbixLoader, made when missing. The first SAVE offers the working "
    "folder, or from the Start menu your Documents folder.\n"
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

}  // namespace

int main(int argc, char** argv) {
    // An empty card reader or drive in the drive list, or in the remembered folder, fails
    // the call that touches it instead of raising the system's "no disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    platform::win32::startUp();
    platform::win32::Win32Ui ui(VorbixLoader::Title);

    const std::string_view arg = argc == 2 ? argv[1] : "";
    const bool fromMenu = arg == "--from-menu";
    if (argc > 1 && !fromMenu) {
        const bool version = arg == "--version";
        ui.msgBox(version ? std::string("vorbixloader ") + VL_VERSION : Usage,
                  platform::Icon::None);
        return version || arg == "--help" ? 0 : 2;
    }
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
    auto comm = platform::win32::createCommPort();
    platform::Files files;
    platform::SystemClock clock;
    // Beside PORT.DAT, in the working directory.
    auto journalFile = platform::systemJournalFile(Journal::FileName);
    VorbixLoader window(ui, *form, *comm, files, platform::systemFileSystem(), clock,
                        journalFile.get());
    window.fromMenu = fromMenu;

    platform::runHandler([&] { window.Form_Load(); });
    form->show();
    return ui.run();
}
