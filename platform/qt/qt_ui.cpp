#include "platform/qt/qt_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/byte_codec.h"

namespace platform::qt {

namespace {

bool g_stopped = false;

}  // namespace

QWidget* frontWindow() {
    // A window just closed can still be the active one for a moment; never that.
    for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        if (w && w->isVisible()) return w;
    return nullptr;
}

bool eventsStopped() {
    return g_stopped;
}

QtUi::QtUi(std::string title) : title_(std::move(title)) {}

std::unique_ptr<Form> QtUi::createForm(const FormTable& table) {
    return std::make_unique<QtForm>(table);
}

Answer QtUi::msgBox(const std::string& text, Icon icon, Buttons buttons) {
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
