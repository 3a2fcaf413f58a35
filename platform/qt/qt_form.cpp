#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "platform/error.h"
#include "platform/qt/byte_codec.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/record_view.h"

namespace platform::qt {

namespace {

int pixels(int twips) {
    return static_cast<int>(std::lround(twips / double(TwipsPerPixel)));
}

QRect pixels(const Rect& r) {
    return {pixels(r.left), pixels(r.top), pixels(r.width), pixels(r.height)};
}

// The top-level widget; tells its form when the operator closes it.
class FormWindow : public QWidget {
  public:
    std::function<void()> onClose;

  protected:
    void closeEvent(QCloseEvent* e) override {
        if (onClose) onClose();
        e->accept();  // closing cannot be refused
    }
};

// What a row of the table gives: its widget (none for a timer, which is invisible) and its
// control (none for a frame).
struct Built {
    QWidget* w = nullptr;
    std::unique_ptr<Control> control;
};

template <class Adapter, class Widget, class... Args>
Built adapt(Widget* w, const Args&... args) {
    return {w, std::make_unique<Adapter>(w, args...)};
}

Built buildCheckBox(const ControlRow& c, QWidget* parent) {
    auto* b = new QCheckBox(decodeUiText(c.caption), parent);
    b->setChecked(c.value);
    return adapt<CheckBoxControl>(b);
}

Built buildLabel(const ControlRow& c, QWidget* parent) {
    auto* l = new QLabel(parent);
    auto label = std::make_unique<LabelControl>(l);
    label->setCaption(c.caption);
    return {l, std::move(label)};
}

Built buildLineText(const ControlRow& c, QWidget* parent) {
    auto* e = new QLineEdit(decodeUiText(c.caption), parent);
    e->setCursorPosition(0);
    return adapt<LineTextControl>(e);
}

Built buildRecordText(const ControlRow& c, QWidget* parent) {
    auto* e = new RecordView(parent);
    auto text = std::make_unique<RecordTextControl>(e);
    if (!c.caption.empty()) text->setText(c.caption);
    return {e, std::move(text)};
}

// A screen reader tells a main window (a frame) from a dialog by its role.
class FormWindowAccessible : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;
    QAccessible::Role role() const override {
        return widget()->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window;
    }
};

QAccessibleInterface* formWindowFactory(const QString&, QObject* object) {
    if (auto* w = dynamic_cast<FormWindow*>(object)) return new FormWindowAccessible(w);
    return nullptr;
}

}  // namespace

struct QtForm::Impl {
    explicit Impl(const FileSystem& fs) : fileSystem(fs) {}
    const FileSystem& fileSystem;  // what the drive, folder and file lists show
    QPointer<FormWindow> window;
    std::string caption;
    int pointer = PointerDefault;
    bool unloading = false;
    bool focusSet = false;
    QWidget* firstFocus = nullptr;
    QEventLoop* loop = nullptr;
    std::map<std::pair<std::string, int>, std::unique_ptr<Control>> controls;
    std::map<std::string, QButtonGroup*> groups;
    // Cursors of widgets that had their own while the hourglass shows.
    std::vector<std::pair<QPointer<QWidget>, QCursor>> savedCursors;

    template <class T>
    T& find(const std::string& name, int index = -1) const {
        auto it = controls.find({name, index});
        T* c = it == controls.end() ? nullptr : dynamic_cast<T*>(it->second.get());
        if (!c) throw std::logic_error("the window has no such control: " + name);
        return *c;
    }

    using TabStops = std::vector<std::pair<int, QWidget*>>;
    void build(const FormTable& table);
    // One row of the table; a frame's box is made before any row is built.
    Built buildRow(const ControlRow& c, QWidget* parent, QGroupBox* frame);
    void place(const ControlRow& c, QWidget* w, TabStops& tabStops);
    void showWindow();
};

Built QtForm::Impl::buildRow(const ControlRow& c, QWidget* parent, QGroupBox* frame) {
    switch (c.kind) {
        case Kind::CommandButton:
            return adapt<ButtonControl>(new QPushButton(decodeUiText(c.caption), parent));
        case Kind::CheckBox: return buildCheckBox(c, parent);
        case Kind::Label: return buildLabel(c, parent);
        case Kind::TextBox: return buildLineText(c, parent);
        case Kind::RecordText: return buildRecordText(c, parent);
        case Kind::Frame:
            frame->setParent(parent);
            frame->setTitle(decodeUiText(c.caption));
            return {frame, nullptr};
        case Kind::OptionButton: {
            auto*& group = groups[c.name];
            if (!group) group = new QButtonGroup(window);
            auto* b = new QRadioButton(decodeUiText(c.caption), parent);
            group->addButton(b);
            return adapt<OptionControl>(b, group);
        }
        case Kind::ComboBox: return adapt<ComboControl>(new QComboBox(parent), c.items, c.caption);
        case Kind::Timer:
            return {nullptr, std::make_unique<TimerControl>(new QTimer(window), c.interval)};
        case Kind::DriveList: return adapt<DriveListControl>(new QComboBox(parent), fileSystem);
        case Kind::DirList: return adapt<DirListControl>(new ListWidget(parent), fileSystem);
        case Kind::FileList: return adapt<FileListControl>(new FileListWidget(parent), fileSystem);
    }
    throw std::logic_error("a control of no known kind: " + c.name);
}

// Named and placed as its row says, in the row's font; a tab stop when the row is one.
void QtForm::Impl::place(const ControlRow& c, QWidget* w, TabStops& tabStops) {
    w->setObjectName(QString::fromStdString(
        c.index < 0 ? c.name : c.name + "(" + std::to_string(c.index) + ")"));
    w->setGeometry(pixels(c.rect));
    if (c.fontPoints > 0) {
        QFont f = w->font();
        f.setPointSizeF(c.fontPoints);
        w->setFont(f);
    }
    // Options are all in the order; their group's one stop moves (OptionControl).
    if (c.tab >= 0 && (c.kind == Kind::OptionButton || (w->focusPolicy() & Qt::TabFocus)))
        tabStops.emplace_back(c.tab, w);
    else if (w->focusPolicy() & Qt::TabFocus)
        w->setFocusPolicy(Qt::ClickFocus);  // not a tab stop, still takes a click
}

namespace {

// A label on a field's left (the row before it) names it for screen readers; the lists,
// without one, are named by their kind.
void nameForScreenReaders(const ControlRow& c, QWidget* w, const ControlRow* before,
                          QWidget* beforeWidget) {
    auto* label = qobject_cast<QLabel*>(beforeWidget);
    if (label && before->parent == c.parent && before->rect.left < c.rect.left &&
        before->rect.top < c.rect.top + c.rect.height &&
        c.rect.top < before->rect.top + before->rect.height)
        label->setBuddy(w);
    if (c.kind == Kind::DriveList) {
        // A combo box is named by its label (its name is its text): one unseen.
        label = new QLabel(QStringLiteral("Drive"), w->parentWidget());
        label->setBuddy(w);
        label->hide();
    }
    if (c.kind == Kind::DirList) w->setAccessibleName(QStringLiteral("Folders"));
    if (c.kind == Kind::FileList) w->setAccessibleName(QStringLiteral("Files"));
}

}  // namespace

void QtForm::Impl::build(const FormTable& table) {
    QFont font = QApplication::font();
    if (!table.font.empty()) font.setFamily(QString::fromStdString(table.font));
    if (table.fontPoints > 0) font.setPointSizeF(table.fontPoints);
    window->setFont(font);
    window->setFixedSize(pixels(table.clientWidth), pixels(table.clientHeight));

    // Frames first, so that controls inside them can be placed; then everything in order.
    std::map<std::string, QGroupBox*> frames;
    for (const auto& c : table.controls)
        if (c.kind == Kind::Frame) frames[c.name] = new QGroupBox(window);
    auto parentOf = [&](const ControlRow& c) -> QWidget* {
        if (c.parent.empty()) return window;
        auto it = frames.find(c.parent);
        if (it == frames.end()) throw std::logic_error("no frame named " + c.parent);
        return it->second;
    };

    TabStops tabStops;
    const ControlRow* before = nullptr;  // the row placed last, and its widget
    QWidget* beforeWidget = nullptr;
    for (const auto& c : table.controls) {
        Built b = buildRow(c, parentOf(c), c.kind == Kind::Frame ? frames.at(c.name) : nullptr);
        if (b.w) {
            place(c, b.w, tabStops);
            nameForScreenReaders(c, b.w, before, beforeWidget);
            before = &c;
            beforeWidget = b.w;
        }
        if (b.control) controls[{c.name, c.index}] = std::move(b.control);
    }

    std::stable_sort(tabStops.begin(), tabStops.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);
    if (!tabStops.empty()) firstFocus = tabStops.front().second;
}

void QtForm::Impl::showWindow() {
    window->show();
    noteShown(window);
    window->raise();
    window->activateWindow();
    // The first tab stop has the focus when the window first appears.
    if (!focusSet && firstFocus) {
        // An option group takes it at its chosen option, its one tab stop.
        QWidget* to = firstFocus;
        if (auto* option = qobject_cast<QRadioButton*>(to); option && option->group())
            if (QAbstractButton* chosen = option->group()->checkedButton()) to = chosen;
        to->setFocus(Qt::OtherFocusReason);
        focusSet = true;
    }
}

QtForm::QtForm(const FormTable& table, const FileSystem& fileSystem)
    : d_(std::make_unique<Impl>(fileSystem)) {
    static const bool factory = (QAccessible::installFactory(formWindowFactory), true);
    (void)factory;
    d_->window = new FormWindow;
    d_->caption = table.caption;
    d_->window->setWindowTitle(decodeUiText(table.caption));
    d_->build(table);
    d_->window->onClose = [this] {
        // The operator closed it (close box, system menu, shut-down): the program's
        // unload handler runs first. Unloading by the program raises nothing.
        if (!d_->unloading) raiseEvent(onUnload);
        if (d_->loop) d_->loop->quit();
    };
}

QtForm::~QtForm() {
    d_->controls.clear();  // cuts every connection into the program
    if (FormWindow* w = d_->window) {
        w->onClose = nullptr;
        w->hide();
        // Deleting later: this may run inside a signal of one of the window's widgets.
        w->deleteLater();
    }
}

Button& QtForm::button(const std::string& name) {
    return d_->find<ButtonControl>(name);
}

CheckBox& QtForm::checkBox(const std::string& name) {
    return d_->find<CheckBoxControl>(name);
}

Label& QtForm::label(const std::string& name) {
    return d_->find<LabelControl>(name);
}

TextBox& QtForm::textBox(const std::string& name) {
    return d_->find<TextBox>(name);  // one line or many
}

OptionButton& QtForm::option(const std::string& name, int index) {
    if (d_->groups.count(name) && !d_->controls.count({name, index}))
        throw RuntimeError(err::NoSuchElement,
                           "Control array element '" + std::to_string(index) + "' doesn't exist");
    return d_->find<OptionControl>(name, index);
}

ComboBox& QtForm::combo(const std::string& name) {
    return d_->find<ComboControl>(name);
}

Timer& QtForm::timer(const std::string& name) {
    return d_->find<TimerControl>(name);
}

DriveList& QtForm::driveList(const std::string& name) {
    return d_->find<DriveListControl>(name);
}

DirList& QtForm::dirList(const std::string& name) {
    return d_->find<DirListControl>(name);
}

FileList& QtForm::fileList(const std::string& name) {
    return d_->find<FileListControl>(name);
}

void QtForm::setCaption(const std::string& caption) {
    d_->caption = caption;
    if (d_->window) d_->window->setWindowTitle(decodeUiText(caption));
}

std::string QtForm::caption() const {
    return d_->caption;
}

void QtForm::setMousePointer(int pointer) {
    QWidget* w = d_->window;
    if (!w) return;
    const bool wait = pointer == PointerHourglass;
    const bool waiting = d_->pointer == PointerHourglass;
    d_->pointer = pointer;
    if (wait == waiting) return;
    if (wait) {
        // The hourglass over the whole window, also over controls with a cursor of their
        // own (text fields), whose cursors come back afterwards.
        w->setCursor(Qt::WaitCursor);
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (!child->testAttribute(Qt::WA_SetCursor)) continue;
            d_->savedCursors.emplace_back(child, child->cursor());
            child->setCursor(Qt::WaitCursor);
        }
    } else {
        w->unsetCursor();
        for (auto& [child, cursor] : d_->savedCursors)
            if (child) child->setCursor(cursor);
        d_->savedCursors.clear();
    }
}

int QtForm::mousePointer() const {
    return d_->pointer;
}

void QtForm::show() {
    if (!d_->window) return;
    d_->unloading = false;
    if (!d_->window->isVisible())  // setting flags hides a shown window
        d_->window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                   Qt::WindowCloseButtonHint);
    d_->showWindow();
}

void QtForm::showModal() {
    QPointer<FormWindow> w = d_->window;
    if (!w) return;
    d_->unloading = false;
    // Owned by the window in front, so that it stays in front of it.
    QWidget* owner = frontWindow();
    if (owner == w) owner = nullptr;
    if (!w->isVisible())  // reparenting hides a shown window
        w->setParent(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                Qt::MSWindowsFixedSizeDialogHint);
    w->setWindowModality(Qt::ApplicationModal);
    d_->showWindow();

    QEventLoop loop;
    d_->loop = &loop;
    if (w->isVisible()) loop.exec(QEventLoop::DialogExec);
    d_->loop = nullptr;
    if (w) w->hide();  // also when the program is ending
}

void QtForm::unload() {
    d_->unloading = true;
    if (d_->window) d_->window->close();
    if (d_->loop) d_->loop->quit();
}

QWidget* QtForm::window() const {
    return d_->window;
}

QWidget* QtForm::widget(const std::string& name, int index) const {
    auto it = d_->controls.find({name, index});
    if (it != d_->controls.end()) return it->second->widget();
    if (!d_->window) return nullptr;
    // Frames have no adapter.
    return d_->window->findChild<QWidget*>(QString::fromStdString(name));
}

}  // namespace platform::qt
