// Windows, controls and message boxes on plain Win32, built from the same tables as on
// Linux: one pixel per 15 twips at 96 DPI, scaled on other DPIs.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/form.h"

namespace platform::win32 {

class Win32Ui : public Ui {
  public:
    // `title` is the program's title, shown by every message box; `fileSystem` is what the
    // windows' file lists show.
    Win32Ui(std::string title, const FileSystem& fileSystem);
    ~Win32Ui() override;
    std::unique_ptr<Form> createForm(const FormTable& table) override;
    Answer msgBox(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok) override;
    void endProgram() override;

    // The report of an error nothing trapped: from here on no window event reaches the
    // program, so nothing runs while the report is open and the process ends after it.
    void reportError(int number, const std::string& description);

    // Runs the message loop until endProgram; returns the exit code.
    int run();
    // Runs the message loop until `done` is true or the program ends; false when it ends.
    bool pumpUntil(const bool& done);

    // The system asks the program to end (the desktop session's end, WM_ENDSESSION):
    // raises onEndRequest, behind platform::runHandler.
    void endRequested();

    const FileSystem& fileSystem() const { return fileSystem_; }

  private:
    friend bool eventsStopped();
    std::string title_;
    const FileSystem& fileSystem_;
    bool stopped_ = false;  // reportError has begun
    bool ended_ = false;    // the quit message came: no loop runs again
    int exitCode_ = 0;      // the quit message's
};

// True once reportError has begun; window events are then dropped.
bool eventsStopped();

// Declares the process DPI-aware, makes this thread COM's apartment for the windows and
// loads the common controls, before any window exists.
void startUp();

}  // namespace platform::win32
