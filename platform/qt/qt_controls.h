// The controls of a QtForm: each adapts one widget to its platform interface. Internal to
// the Qt realisation.
#pragma once

#include <QListWidget>
#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/file_system.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform::qt {

class RecordView;

// Runs a handler an operator's action raised, behind the error boundary. The handler is
// copied first: it may replace itself or destroy its control while it runs.
void raiseEvent(const Handler& handler);

// What every control holds: its widget and the connections into the adapter, which are
// cut when the adapter goes so a late signal cannot reach it.
class Control {
  public:
    explicit Control(QWidget* widget = nullptr) : widget_(widget) {}
    virtual ~Control();
    QWidget* widget() const { return widget_; }

  protected:
    std::vector<QMetaObject::Connection> connections_;

  private:
    QWidget* widget_;
};

class ButtonControl : public Button, public Control {
  public:
    explicit ButtonControl(QPushButton* w);
    void setEnabled(bool on) override;
    bool enabled() const override;

  private:
    QPushButton* w_;
};

class CheckBoxControl : public CheckBox, public Control {
  public:
    explicit CheckBoxControl(QCheckBox* w);
    void setEnabled(bool on) override;
    bool enabled() const override;
    int value() const override;
    void setValue(int v) override;

  private:
    QCheckBox* w_;
};

class LabelControl : public Label, public Control {
  public:
    explicit LabelControl(QLabel* w);
    void setCaption(const std::string& s) override;
    std::string caption() const override { return caption_; }

  private:
    QLabel* w_;
    std::string caption_;  // as set: display conversion need not round-trip
};

// One-line text box.
class LineTextControl : public TextBox, public Control {
  public:
    explicit LineTextControl(QLineEdit* w);
    std::string text() const override;
    void setText(const std::string& s) override;
    void setSelText(std::string s) override;

  private:
    QLineEdit* w_;
};

// Many-line record text, read-only for the operator; one character per byte.
class RecordTextControl : public TextBox, public Control {
  public:
    explicit RecordTextControl(RecordView* w);
    std::string text() const override;
    void setText(const std::string& s) override;
    void setSelText(std::string s) override;

  private:
    RecordView* w_;
};

class OptionControl : public OptionButton, public Control {
  public:
    OptionControl(QRadioButton* w, QButtonGroup* group);
    void setValue(bool on) override;
    bool value() const override;
    void setToolTip(const std::string& tip) override;
    int popupMenu(const std::vector<std::string>& items, int checked) override;

  private:
    QRadioButton* w_;
    QButtonGroup* group_;
    QPoint menuAt_;  // where the operator asked for the menu, in the button
};

class ComboControl : public ComboBox, public Control {
  public:
    ComboControl(QComboBox* w, const std::vector<std::string>& items, const std::string& text);
    std::string text() const override;
    void setText(const std::string& s) override;

  private:
    QComboBox* w_;
    bool typing_ = false;  // the edit field is finishing typed text
};

class TimerControl : public Timer, public Control {
  public:
    TimerControl(QTimer* t, int intervalMs);
    void setEnabled(bool on) override;
    bool enabled() const override;

  private:
    QTimer* t_;
    bool running_ = false;  // onTimer is running: ticks meanwhile are dropped
};

class DriveListControl : public DriveList, public Control {
  public:
    DriveListControl(QComboBox* w, const FileSystem& fs);
    std::string drive() const override;
    void setDrive(const std::string& place) override;

  private:
    QComboBox* w_;
    bool quiet_ = false;  // the program is changing the list
};

class DirListControl : public DirList, public Control {
  public:
    DirListControl(QListWidget* w, const FileSystem& fs);
    std::string path() const override { return path_; }
    void setPath(const std::string& folder) override;

  private:
    // Lists `folder` (normalised); returns false when it did not change.
    bool show(const std::string& folder);
    QListWidget* w_;
    const FileSystem& fs_;
    std::string path_;
    bool quiet_ = false;
};

// A list that tells assistive technology its current item when it takes the focus, as it
// does when that item changes: a screen reader then speaks the item, not only the list.
class ListWidget : public QListWidget {
  public:
    using QListWidget::QListWidget;

  protected:
    void focusInEvent(QFocusEvent* e) override;
};

// A list whose clicks on the item already chosen are told apart from those that choose it.
class FileListWidget : public ListWidget {
  public:
    using ListWidget::ListWidget;
    bool pressing = false;       // inside a mouse press
    bool pressSelected = false;  // the last press changed the selection

  protected:
    void mousePressEvent(QMouseEvent* e) override;
};

class FileListControl : public FileList, public Control {
  public:
    FileListControl(FileListWidget* w, const FileSystem& fs);
    void setPattern(const std::string& pattern) override;
    std::string path() const override { return path_; }
    void setPath(const std::string& folder) override;
    std::string fileName() const override;

  private:
    void refill(const std::string& folder);
    FileListWidget* w_;
    const FileSystem& fs_;
    std::string path_, pattern_ = "*.*";
    bool quiet_ = false;
};

// A folder's full path: absolute, without "." or ".." parts or a trailing "/".
std::string normalFolder(const std::string& folder);

}  // namespace platform::qt
