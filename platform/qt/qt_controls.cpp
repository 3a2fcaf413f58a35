#include "platform/qt/qt_controls.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "platform/fatal.h"
#include "platform/qt/byte_codec.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/record_view.h"

namespace platform::qt {

void raiseEvent(const Handler& handler) {
    if (!handler || eventsStopped()) return;
    Handler copy = handler;
    runHandler(copy);
}

Control::~Control() {
    for (auto& c : connections_) QObject::disconnect(c);
}

// --- Button

ButtonControl::ButtonControl(QPushButton* w) : Control(w), w_(w) {
    w_->setAutoDefault(false);
    w_->setDefault(false);
    connections_.push_back(
        QObject::connect(w_, &QPushButton::clicked, [this] { raiseEvent(onClick); }));
}

void ButtonControl::setEnabled(bool on) {
    w_->setEnabled(on);
}

bool ButtonControl::enabled() const {
    return w_->isEnabled();
}

// --- CheckBox

CheckBoxControl::CheckBoxControl(QCheckBox* w) : Control(w), w_(w) {}

void CheckBoxControl::setEnabled(bool on) {
    w_->setEnabled(on);
}

bool CheckBoxControl::enabled() const {
    return w_->isEnabled();
}

int CheckBoxControl::value() const {
    return w_->isChecked() ? 1 : 0;
}

void CheckBoxControl::setValue(int v) {
    w_->setChecked(v != 0);
}

// --- Label

LabelControl::LabelControl(QLabel* w) : Control(w), w_(w) {
    w_->setTextFormat(Qt::PlainText);
    w_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    w_->setWordWrap(true);
}

void LabelControl::setCaption(const std::string& s) {
    caption_ = s;
    w_->setText(decodeUiText(s));
}

// --- One-line text box

LineTextControl::LineTextControl(QLineEdit* w) : Control(w), w_(w) {}

std::string LineTextControl::text() const {
    return encodeUiText(w_->text());
}

void LineTextControl::setText(const std::string& s) {
    w_->setText(decodeUiText(s));
    w_->setCursorPosition(0);
}

void LineTextControl::setSelText(std::string s) {
    w_->insert(decodeUiText(s));
}

// --- Record text

RecordTextControl::RecordTextControl(RecordView* w) : Control(w), w_(w) {}

std::string RecordTextControl::text() const {
    return w_->text();
}

void RecordTextControl::setText(const std::string& s) {
    w_->setText(s);
}

void RecordTextControl::setSelText(std::string s) {
    w_->replaceSelection(std::move(s));
}

// --- Option button

OptionControl::OptionControl(QRadioButton* w, QButtonGroup* group)
    : Control(w), w_(w), group_(group) {
    // Tab enters the group at its chosen option (at its first while none is chosen); the
    // arrow keys move on from there.
    auto oneTabStop = [this] {
        QAbstractButton* stop = group_->checkedButton();
        if (!stop) stop = group_->buttons().front();
        for (QAbstractButton* b : group_->buttons())
            b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
    };
    oneTabStop();
    connections_.push_back(QObject::connect(w_, &QRadioButton::toggled, oneTabStop));
    // clicked comes from the operator (mouse, keys) only, never from setChecked.
    connections_.push_back(
        QObject::connect(w_, &QRadioButton::clicked, [this] { raiseEvent(onClick); }));
    // Both the right mouse button and the keyboard's menu key ask for it.
    w_->setContextMenuPolicy(Qt::CustomContextMenu);
    connections_.push_back(
        QObject::connect(w_, &QWidget::customContextMenuRequested, [this](const QPoint& at) {
            menuAt_ = at;
            raiseEvent(onContextMenu);
        }));
}

int OptionControl::popupMenu(const std::vector<std::string>& items, int checked) {
    QMenu menu(w_);
    auto* one = new QActionGroup(&menu);  // one device per port: shown as radio marks
    QAction* active = nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        QAction* a = one->addAction(decodeUiText(items[i]));
        menu.addAction(a);
        a->setData(static_cast<int>(i));
        a->setCheckable(true);
        a->setChecked(static_cast<int>(i) == checked);
        if (!active || a->isChecked()) active = a;
    }
    // Where it was asked for: at the mouse, or where the menu key places it.
    const QAction* chosen = execMenu(menu, w_->mapToGlobal(menuAt_), active);
    return chosen ? chosen->data().toInt() : -1;
}

void OptionControl::setValue(bool on) {
    if (on) {
        w_->setChecked(true);
    } else if (w_->isChecked()) {
        // An exclusive group refuses to clear its checked button.
        group_->setExclusive(false);
        w_->setChecked(false);
        group_->setExclusive(true);
    }
}

bool OptionControl::value() const {
    return w_->isChecked();
}

void OptionControl::setToolTip(const std::string& tip) {
    w_->setToolTip(decodeUiText(tip));
}

// --- Combo box

ComboControl::ComboControl(QComboBox* w, const std::vector<std::string>& items,
                           const std::string& text)
    : Control(w), w_(w) {
    // Connections made before QComboBox's own run first and those made after run last:
    // they bracket its handling of typed text, which may raise activated() when the text
    // equals an item. Only a choice from the list counts as a click.
    auto* edit = new QLineEdit(w_);
    auto begin = [this] { typing_ = true; };
    auto end = [this] { typing_ = false; };
    connections_.push_back(QObject::connect(edit, &QLineEdit::returnPressed, begin));
    connections_.push_back(QObject::connect(edit, &QLineEdit::editingFinished, begin));
    w_->setEditable(true);
    w_->setLineEdit(edit);
    connections_.push_back(QObject::connect(edit, &QLineEdit::returnPressed, end));
    connections_.push_back(QObject::connect(edit, &QLineEdit::editingFinished, end));
    w_->setInsertPolicy(QComboBox::NoInsert);
    w_->setCompleter(nullptr);
    for (const auto& item : items) w_->addItem(decodeUiText(item));
    setText(text);
    connections_.push_back(QObject::connect(w_, &QComboBox::activated, [this] {
        if (!typing_) raiseEvent(onClick);
    }));
}

std::string ComboControl::text() const {
    return encodeUiText(w_->currentText());
}

void ComboControl::setText(const std::string& s) {
    const QString t = decodeUiText(s);
    // Keep the list's current item in step, so the list opens on the item shown.
    const int i = w_->findText(t, Qt::MatchExactly);
    if (i >= 0) w_->setCurrentIndex(i);
    w_->setEditText(t);
}

// --- Timer

TimerControl::TimerControl(QTimer* t, int intervalMs) : t_(t) {
    t_->setInterval(intervalMs);
    t_->setSingleShot(false);
    connections_.push_back(QObject::connect(t_, &QTimer::timeout, [this] {
        // A handler that waits in a message box must not be entered again by its own
        // ticks; those ticks are dropped.
        if (running_) return;
        running_ = true;
        raiseEvent(onTimer);
        running_ = false;
    }));
}

void TimerControl::setEnabled(bool on) {
    if (!on)
        t_->stop();
    else if (!t_->isActive())
        t_->start();
}

bool TimerControl::enabled() const {
    return t_->isActive();
}

}  // namespace platform::qt
