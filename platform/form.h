// Windows are described by a table of controls (positions in twips) and realised by
// the platform; the program finds its controls by name and index.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace platform {

enum class Kind {
    CommandButton,
    CheckBox,
    Label,
    TextBox,     // one line, editable
    RecordText,  // many lines, both scroll bars, locked against typing
    Frame,
    OptionButton,
    ComboBox,
    DriveList,
    DirList,
    FileList,
    Timer,  // invisible; interval in ms in `interval`
};

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;  // twips
};

struct ControlRow {
    std::string name;
    int index = -1;  // element of a control array, -1 for none
    Kind kind = Kind::Label;
    std::string caption;             // caption or initial text
    Rect rect;                       // relative to `parent`, or to the client area
    int tab = -1;                    // tab order, -1 when not a tab stop
    std::string parent;              // name of the enclosing frame, "" for the form
    double fontPoints = 0;           // 0: the form's font
    std::vector<std::string> items;  // list items of a combo box
    int interval = 0;                // timer interval in ms
    bool value = false;              // initial tick of a check box
};

// A control of the table; the less common fields are set on the result.
inline ControlRow control(std::string name, Kind kind, std::string caption, Rect rect,
                          int tab = -1) {
    ControlRow c;
    c.name = std::move(name);
    c.kind = kind;
    c.caption = std::move(caption);
    c.rect = rect;
    c.tab = tab;
    return c;
}

struct FormTable {
    std::string caption;
    int clientWidth = 0, clientHeight = 0;  // twips
    std::string font;
    double fontPoints = 0;
    std::vector<ControlRow> controls;
};

constexpr int TwipsPerPixel = 15;

class Form {
  public:
    virtual ~Form() = default;
    virtual Button& button(const std::string& name) = 0;
    virtual CheckBox& checkBox(const std::string& name) = 0;
    virtual Label& label(const std::string& name) = 0;
    virtual TextBox& textBox(const std::string& name) = 0;
    virtual OptionButton& option(const std::string& name, int index) = 0;
    virtual ComboBox& combo(const std::string& name) = 0;
    virtual Timer& timer(const std::string& name) = 0;
    virtual DriveList& driveList(const std::string& name) = 0;
    virtual DirList& dirList(const std::string& name) = 0;
    virtual FileList& fileList(const std::string& name) = 0;

    virtual void setCaption(const std::string& caption) = 0;
    virtual std::string caption() const = 0;
    virtual void setMousePointer(int pointer) = 0;
    virtual int mousePointer() const = 0;

    virtual void show() = 0;       // the main window
    virtual void showModal() = 0;  // returns once the form is unloaded
    virtual void unload() = 0;     // close and destroy; raises no onUnload

    Handler onUnload;  // the operator closed the window
};

// The run time: creates windows and shows message boxes.
class Ui {
  public:
    virtual ~Ui() = default;
    virtual std::unique_ptr<Form> createForm(const FormTable& table) = 0;
    // Modal; the title bar shows the program's title.
    virtual Answer msgBox(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok) = 0;
    // Leaves the message loop; the process then exits normally.
    virtual void endProgram() = 0;

    // The system asks the program to end (a termination signal, the desktop session
    // ending): not the operator's choice. Raised from the message loop.
    Handler onEndRequest;
};

}  // namespace platform
