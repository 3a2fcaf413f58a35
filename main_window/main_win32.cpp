// The process on Windows: one main window, run until it is closed.
#include "main_window/vorbix_loader.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/journal_file.h"
#include "platform/win32/win32_ui.h"

int main() {
    platform::win32::startUp();
    platform::win32::Win32Ui ui(VorbixLoader::Title);
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

    platform::runHandler([&] { window.Form_Load(); });
    form->show();
    return ui.run();
}
