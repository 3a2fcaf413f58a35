#include "platform/qt/qt_ui.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "platform/qt/byte_codec.h"
#include "platform/qt/record_view.h"

namespace platform::qt {

namespace {

bool g_stopped = false;
// The program's windows, the one shown last at the back.
std::vector<QPointer<QWidget>> g_shown;

}  // namespace

void noteShown(QWidget* window) {
    g_shown.erase(
        std::remove_if(g_shown.begin(), g_shown.end(),
                       [window](const QPointer<QWidget>& w) { return !w || w == window; }),
        g_shown.end());
    g_shown.emplace_back(window);
}

QWidget* frontWindow() {
    // A window just closed can still be the active one for a moment; never that.
    for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        if (w && w->isVisible()) return w;
    // Between a dialog closing and the window under it becoming active again (the window
    // manager's business, later) none is active: the one shown last that still shows.
    for (auto it = g_shown.rbegin(); it != g_shown.rend(); ++it)
        if (*it && (*it)->isVisible()) return *it;
    return nullptr;
}

bool eventsStopped() {
    return g_stopped;
}

QtUi::QtUi(std::string title, const FileSystem& fileSystem)
    : title_(std::move(title)), fileSystem_(fileSystem) {}

std::unique_ptr<Form> QtUi::createForm(const FormTable& table) {
    return std::make_unique<QtForm>(table, fileSystem_);
}

Answer QtUi::msgBox(const std::string& text, Icon icon, Buttons buttons) {
    // A screen reader hears the lines that came before the box, not after it.
    for (QWidget* w : QApplication::allWidgets())
        if (auto* v = dynamic_cast<RecordView*>(w)) v->tellChangesNow();
    QMessageBox box(frontWindow());
    box.setWindowTitle(decodeUiText(title_));
    box.setTextFormat(Qt::PlainText);
    box.setText(decodeUiText(text));
    box.setIcon(icon == Icon::Critical      ? QMessageBox::Critical
                : icon == Icon::Exclamation ? QMessageBox::Warning
                : icon == Icon::Question    ? QMessageBox::Question
                                            : QMessageBox::NoIcon);
    if (buttons != Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
}

QAction* execMenu(QMenu& menu, const QPoint& at, QAction* item) {
    // Active once shown: a menu without an active item tells assistive technology nothing.
    QTimer::singleShot(0, &menu, [&menu, item] { menu.setActiveAction(item); });
    return menu.exec(at);
}

void QtUi::endRequested() {
    if (onEndRequest) onEndRequest();
}

void QtUi::endProgram() {
    QCoreApplication::exit(0);
}

void QtUi::reportError(int number, const std::string& description) {
    g_stopped = true;
    QMessageBox box(frontWindow());
    box.setWindowTitle(decodeUiText(title_));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Critical);
    box.setText(
        QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(decodeUiText(description)));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace platform::qt
