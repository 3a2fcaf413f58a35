// The process: one application, one main window, run until the window is closed.
#include <QApplication>
#include <iostream>

#include "main_window/command_line.h"
#include "main_window/vorbix_loader.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/journal_file.h"
#include "platform/posix/termios_comm_port.h"
#include "platform/qt/end_signals.h"
#include "platform/qt/qt_ui.h"

int main(int argc, char** argv) {
    if (auto status = handleCommandLine(argc, argv, std::cout, std::cerr)) return *status;
    const bool fromMenu = startedFromMenu(argc, argv);
    QApplication app(argc, argv);
    // The program ends only through its window's unload handler, never because a dialog
    // shown during start-up happened to be the last window open.
    QApplication::setQuitOnLastWindowClosed(false);
    // Caught from here on.
    platform::qt::EndSignals endSignals;

    // One file system for the logic and the windows' file lists.
    const platform::FileSystem& fileSystem = platform::systemFileSystem();
    platform::qt::QtUi ui(VorbixLoader::Title, fileSystem);
    platform::setErrorReport(
        [&ui](int number, const std::string& description) { ui.reportError(number, description); });

    auto form = ui.createForm(VorbixLoader::formTable());
    platform::posix::TermiosCommPort comm;
    platform::Files files;
    platform::SystemClock clock;
    // Beside PORT.DAT, in the working directory.
    auto journalFile = platform::systemJournalFile(Journal::FileName);
    VorbixLoader window(ui, *form, comm, files, fileSystem, clock, journalFile.get());
    window.fromMenu = fromMenu;

    // Heard from here on, also while start-up waits in a box or the first-start dialog:
    // that ends the program there, before any port opens.
    bool ended = false;
    endSignals.listen([&ui, &ended] {
        ended = true;
        ui.endRequested();
    });
    platform::runHandler([&] { window.Form_Load(); });
    if (ended) return 0;  // the loop that heard it has gone; exec() would not hear it again
    form->show();
    return QApplication::exec();
}
