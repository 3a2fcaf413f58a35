// Windows and message boxes realised with Qt Widgets.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/form.h"

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace platform::qt {

class QtUi : public Ui {
  public:
    // `title` is the program's title, shown by every message box; `fileSystem` is what the
    // windows' file lists show.
    QtUi(std::string title, const FileSystem& fileSystem);
    std::unique_ptr<Form> createForm(const FormTable& table) override;
    Answer msgBox(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok) override;
    void endProgram() override;

    // The report of an error nothing trapped: from here on no window event reaches the
    // program, so nothing runs while the report is open and the process ends after it.
    void reportError(int number, const std::string& description);

    // The system asks the program to end (a termination signal, also at the session's
    // end): raises onEndRequest. Called behind platform::runHandler (EndSignals).
    void endRequested();

  private:
    std::string title_;
    const FileSystem& fileSystem_;
};

// The visible window in front, which owns the dialogs and boxes shown next, so they are
// centred on it: the active one, else the one of the program's shown last.
QWidget* frontWindow();
// Tells frontWindow that the program's `window` was just shown.
void noteShown(QWidget* window);

// Shows `menu` at `at` (global) with `item` active, so a screen reader speaks the menu as
// it opens; returns the item chosen, nullptr when dismissed.
QAction* execMenu(QMenu& menu, const QPoint& at, QAction* item);

// True once reportError has begun; window events are then dropped.
bool eventsStopped();

// A window built from a FormTable: one pixel per 15 twips.
class QtForm : public Form {
  public:
    // Tests of a window alone may leave the file lists on this machine's file system.
    explicit QtForm(const FormTable& table, const FileSystem& fileSystem = systemFileSystem());
    ~QtForm() override;
    QtForm(const QtForm&) = delete;
    QtForm& operator=(const QtForm&) = delete;

    Button& button(const std::string& name) override;
    CheckBox& checkBox(const std::string& name) override;
    Label& label(const std::string& name) override;
    TextBox& textBox(const std::string& name) override;
    OptionButton& option(const std::string& name, int index) override;
    ComboBox& combo(const std::string& name) override;
    Timer& timer(const std::string& name) override;
    DriveList& driveList(const std::string& name) override;
    DirList& dirList(const std::string& name) override;
    FileList& fileList(const std::string& name) override;

    void setCaption(const std::string& caption) override;
    std::string caption() const override;
    void setMousePointer(int pointer) override;
    int mousePointer() const override;

    void show() override;
    void showModal() override;
    void unload() override;

    // The top-level widget and a control's widget (nullptr for a timer), for tests.
    QWidget* window() const;
    QWidget* widget(const std::string& name, int index = -1) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace platform::qt
