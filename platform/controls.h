// What the program needs from windows and controls. Texts are bytes in the record
// files' 8-bit code page; a realisation converts them for display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

using Handler = std::function<void()>;

struct Enableable {
    virtual ~Enableable() = default;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
};

struct Button : Enableable {
    Handler onClick;
};

struct CheckBox : Enableable {
    virtual int value() const = 0;  // 0 not ticked, 1 ticked
    virtual void setValue(int v) = 0;
};

struct Label {
    virtual ~Label() = default;
    virtual void setCaption(const std::string& s) = 0;
    virtual std::string caption() const = 0;
};

struct TextBox {
    virtual ~TextBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& s) = 0;
    // Replaces the selection, or inserts at the caret when nothing is selected;
    // the caret ends after the inserted text. Taken by value: a restore's text moved in
    // is held once, not copied.
    virtual void setSelText(std::string s) = 0;
};

struct OptionButton {
    virtual ~OptionButton() = default;
    // Setting true clears the other buttons of the group; raises no click.
    virtual void setValue(bool on) = 0;
    virtual bool value() const = 0;
    virtual void setToolTip(const std::string& tip) = 0;
    // Shows a menu of `items` by the button, item `checked` marked (-1: none); returns the
    // index the operator chose, -1 when the menu was dismissed. A realisation without
    // menus offers none.
    virtual int popupMenu(const std::vector<std::string>& items, int checked) {
        (void)items;
        (void)checked;
        return -1;
    }
    Handler onClick;        // the operator chose this button
    Handler onContextMenu;  // the operator asked for its menu (right-click, the menu key)
};

struct ComboBox {
    virtual ~ComboBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& s) = 0;  // raises no click
    Handler onClick;                                 // the operator chose a list item
};

struct Timer : Enableable {
    Handler onTimer;
};

// A place that holds folders: "/" or a mounted volume.
struct DriveList {
    virtual ~DriveList() = default;
    virtual std::string drive() const = 0;
    virtual void setDrive(const std::string& place) = 0;  // raises onChange when it changes
    Handler onChange;
};

struct DirList {
    virtual ~DirList() = default;
    virtual std::string path() const = 0;
    // Throws RuntimeError when the folder cannot be listed; raises onChange when it changes.
    virtual void setPath(const std::string& folder) = 0;
    Handler onChange;
};

struct FileList {
    virtual ~FileList() = default;
    virtual void setPattern(const std::string& pattern) = 0;
    virtual std::string path() const = 0;
    virtual void setPath(const std::string& folder) = 0;  // throws RuntimeError
    virtual std::string fileName() const = 0;             // the chosen file, "" when none
    Handler onClick;
};

enum class Icon { None, Critical, Exclamation, Question };
enum class Buttons { Ok, YesNo, YesNoDefaultYes };  // YesNo has No as its default
enum class Answer { Ok, Yes, No };

constexpr int PointerDefault = 0;
constexpr int PointerHourglass = 11;

}  // namespace platform
