// The controls of a Win32Form: each adapts one Win32 child window to its platform
// interface, and takes the notifications the form passes on. Internal to the Win32
// realisation; needs windows.h first.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/file_system.h"
#include "platform/win32/win32_record_view.h"

namespace platform::win32 {

// Runs a handler an operator's action raised, behind the error boundary, unless window
// events have stopped. The handler is copied first: it may replace itself.
void raiseEvent(const Handler& handler);

std::wstring windowText(HWND w);

struct Control {
    virtual ~Control() = default;
    HWND hwnd = nullptr;
    // A notification (BN_CLICKED, CBN_SELCHANGE, ...) from the control's window.
    virtual void command(int /*code*/) {}
};

// Sent to the form (lParam: the control's window) when the focused control is disabled,
// and when a control is enabled: the focus leaves the one and comes back to it.
constexpr UINT FocusLeftMsg = WM_APP + 1, FocusBackMsg = WM_APP + 2;

template <class Base>
struct Switchable : Base, Control {
    void setEnabled(bool on) override {
        const bool focused = !on && GetFocus() == hwnd;
        EnableWindow(hwnd, on);
        if (focused || on)
            SendMessageW(GetParent(hwnd), on ? FocusBackMsg : FocusLeftMsg, 0,
                         reinterpret_cast<LPARAM>(hwnd));
    }
    bool enabled() const override { return IsWindowEnabled(hwnd); }
};

struct ButtonControl : Switchable<Button> {
    void command(int code) override;
};

struct CheckBoxControl : Switchable<CheckBox> {
    int value() const override;
    void setValue(int v) override;
};

struct LabelControl : Label, Control {
    std::string text;
    void setCaption(const std::string& s) override;
    std::string caption() const override { return text; }
};

// One line, editable: names typed by the operator, UTF-8 inside.
struct LineTextControl : TextBox, Control {
    std::string text() const override;
    void setText(const std::string& s) override;
    void setSelText(std::string s) override;
};

// Many lines, read-only yet with a caret and selection; a window of our own.
struct RecordTextControl : TextBox, Control {
    std::unique_ptr<RecordView> view;
    std::string text() const override { return view->text(); }
    void setText(const std::string& s) override { view->setText(s); }
    void setSelText(std::string s) override { view->replaceSelection(std::move(s)); }
};

struct OptionControl : OptionButton, Control {
    std::vector<OptionControl*>* group = nullptr;
    HWND tips = nullptr;
    std::wstring tip;
    void setValue(bool on) override;
    bool value() const override;
    void setToolTip(const std::string& tip) override;
    void command(int code) override;
};

struct ComboControl : ComboBox, Control {
    std::string text() const override;
    void setText(const std::string& s) override;
    void command(int code) override;
};

struct TimerControl : Timer, Control {
    HWND owner = nullptr;
    UINT_PTR id = 0;
    int interval = 0;
    bool on = false;
    void setEnabled(bool v) override;
    bool enabled() const override { return on; }
};

// The lists of a file dialog show what `fs` holds.
struct DriveListControl : DriveList, Control {
    explicit DriveListControl(const FileSystem& f) : fs(f) {}
    const FileSystem& fs;
    std::vector<std::string> drives;
    bool quiet = false;
    void fill();
    std::string drive() const override;
    void setDrive(const std::string& place) override;
    void command(int code) override;
};

struct DirListControl : DirList, Control {
    explicit DirListControl(const FileSystem& f) : fs(f) {}
    const FileSystem& fs;
    std::string current;
    std::vector<std::string> rows;  // the full path of each row
    std::string path() const override { return current; }
    void setPath(const std::string& folder) override;
    // Lists the folder's place, its ancestors, itself and its subfolders; true when it
    // changed. Throws before anything changes when the folder cannot be listed.
    bool show(const std::string& folder);
    void command(int code) override;
};

struct FileListControl : FileList, Control {
    explicit FileListControl(const FileSystem& f) : fs(f) {}
    const FileSystem& fs;
    std::string pattern = "*.*", current;
    std::vector<std::string> names;
    bool quiet = false;
    void setPattern(const std::string& p) override;
    std::string path() const override { return current; }
    void setPath(const std::string& folder) override;
    void refill(const std::string& folder);
    std::string fileName() const override;
    void command(int code) override;
};

}  // namespace platform::win32
