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

}  // namespace

struct QtForm::Impl {
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

    void build(const FormTable& table);
    void showWindow();
};

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

    std::vector<std::pair<int, QWidget*>> tabStops;
    for (const auto& c : table.controls) {
        QWidget* parent = parentOf(c);
        QWidget* w = nullptr;
        std::unique_ptr<Control> control;
        switch (c.kind) {
            case Kind::CommandButton: {
                auto* b = new QPushButton(decodeUiText(c.caption), parent);
                control = std::make_unique<QtButton>(b);
                w = b;
                break;
            }
            case Kind::CheckBox: {
                auto* b = new QCheckBox(decodeUiText(c.caption), parent);
                b->setChecked(c.value);
                control = std::make_unique<QtCheckBox>(b);
                w = b;
                break;
            }
            case Kind::Label: {
                auto* l = new QLabel(parent);
                auto label = std::make_unique<QtLabel>(l);
                label->setCaption(c.caption);
                control = std::move(label);
                w = l;
                break;
            }
            case Kind::TextBox: {
                auto* e = new QLineEdit(decodeUiText(c.caption), parent);
                e->setCursorPosition(0);
                control = std::make_unique<QtLineText>(e);
                w = e;
                break;
            }
            case Kind::RecordText: {
                auto* e = new RecordView(parent);
                auto text = std::make_unique<QtRecordText>(e);
                if (!c.caption.empty()) text->setText(c.caption);
                control = std::move(text);
                w = e;
                break;
            }
            case Kind::Frame: {
                auto* f = frames.at(c.name);
                f->setParent(parent);
                f->setTitle(decodeUiText(c.caption));
                w = f;
                break;
            }
            case Kind::OptionButton: {
                auto*& group = groups[c.name];
                if (!group) group = new QButtonGroup(window);
                auto* b = new QRadioButton(decodeUiText(c.caption), parent);
                group->addButton(b);
                control = std::make_unique<QtOption>(b, group);
                w = b;
                break;
            }
            case Kind::ComboBox: {
                auto* b = new QComboBox(parent);
                control = std::make_unique<QtCombo>(b, c.items, c.caption);
                w = b;
                break;
            }
            case Kind::Timer: {
                auto* t = new QTimer(window);
                controls[{c.name, c.index}] = std::make_unique<QtTimer>(t, c.interval);
                continue;  // invisible
            }
            case Kind::DriveList: {
                auto* b = new QComboBox(parent);
                control = std::make_unique<QtDriveList>(b);
                w = b;
                break;
            }
            case Kind::DirList: {
                auto* l = new QListWidget(parent);
                control = std::make_unique<QtDirList>(l);
                w = l;
                break;
            }
            case Kind::FileList: {
                auto* l = new FileListWidget(parent);
                control = std::make_unique<QtFileList>(l);
                w = l;
                break;
            }
        }
        w->setObjectName(QString::fromStdString(
            c.index < 0 ? c.name : c.name + "(" + std::to_string(c.index) + ")"));
        w->setGeometry(pixels(c.rect));
        if (c.fontPoints > 0) {
            QFont f = w->font();
            f.setPointSizeF(c.fontPoints);
            w->setFont(f);
        }
        if (c.tab >= 0 && (w->focusPolicy() & Qt::TabFocus))
            tabStops.emplace_back(c.tab, w);
        else if (w->focusPolicy() & Qt::TabFocus)
            w->setFocusPolicy(Qt::ClickFocus);  // not a tab stop, still takes a click
        if (control) controls[{c.name, c.index}] = std::move(control);
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
        firstFocus->setFocus(Qt::OtherFocusReason);
        focusSet = true;
    }
}

QtForm::QtForm(const FormTable& table) : d_(std::make_unique<Impl>()) {
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
    return d_->find<QtButton>(name);
}

CheckBox& QtForm::checkBox(const std::string& name) {
    return d_->find<QtCheckBox>(name);
}

Label& QtForm::label(const std::string& name) {
    return d_->find<QtLabel>(name);
}

TextBox& QtForm::textBox(const std::string& name) {
    return d_->find<TextBox>(name);  // one line or many
}

OptionButton& QtForm::option(const std::string& name, int index) {
    if (d_->groups.count(name) && !d_->controls.count({name, index}))
        throw RuntimeError(err::NoSuchElement,
                           "Control array element '" + std::to_string(index) + "' doesn't exist");
    return d_->find<QtOption>(name, index);
}

ComboBox& QtForm::combo(const std::string& name) {
    return d_->find<QtCombo>(name);
}

Timer& QtForm::timer(const std::string& name) {
    return d_->find<QtTimer>(name);
}

DriveList& QtForm::driveList(const std::string& name) {
    return d_->find<QtDriveList>(name);
}

DirList& QtForm::dirList(const std::string& name) {
    return d_->find<QtDirList>(name);
}

FileList& QtForm::fileList(const std::string& name) {
    return d_->find<QtFileList>(name);
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
