// The dialogs' controls as Qt realises them: option button arrays, combo boxes, the folder
// list, modal display and message boxes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/error.h"
#include "platform/qt/qt_ui.h"
#include "port_settings/port_setei.h"
#include "record_files/file_form.h"

namespace {

using platform::qt::QtForm;

// Runs `step` on the next modal window once it is up.
void whenModal(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step] {
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget(); }, 5000));
        step(QApplication::activeModalWidget());
    });
}

struct Dialog : ::testing::Test {
    QtForm form{port_setei::formSpec()};

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    }
};

TEST_F(Dialog, OptionButtonsAreExclusiveAndClickOnlyForTheOperator) {
    int clicks = 0;
    for (int i = 0; i < 3; ++i) form.option("com_no", i).onClick = [&] { ++clicks; };
    form.option("com_no", 1).setValue(true);
    form.option("com_no", 2).setValue(true);
    EXPECT_FALSE(form.option("com_no", 1).value());
    QTest::mouseClick(form.widget("com_no", 0), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    form.option("com_no", 0).setValue(false);  // none chosen is allowed
    EXPECT_FALSE(form.option("com_no", 0).value());
    EXPECT_THROW(form.option("com_no", 12), platform::RuntimeError);
}

TEST_F(Dialog, ComboClicksOnlyForAListChoice) {
    auto* box = qobject_cast<QComboBox*>(form.widget("Combo1"));
    auto& combo = form.combo("Combo1");
    std::vector<std::string> clicks;
    combo.onClick = [&] { clicks.push_back(combo.text()); };
    combo.setText("19200");
    // Typed text is no choice, not even text equal to an item, nor does it join the list.
    for (const char* typed : {"4800", "38400"}) {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(combo.text(), typed);
    }
    EXPECT_EQ(box->count(), 4);
    box->showPopup();
    QAbstractItemView* view = box->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 5000));
    const QPoint item = view->visualRect(view->model()->index(2, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item);
    EXPECT_EQ(clicks, std::vector<std::string>{"38400"});
}

TEST_F(Dialog, ShowModalReturnsOnceUnloadedOrClosed) {
    QtForm dialog{port_setei::formSpec()};
    int unloads = 0;
    dialog.onUnload = [&] { ++unloads; };
    dialog.button("ok_bot").onClick = [&] { dialog.unload(); };
    whenModal([&](QWidget*) { QTest::mouseClick(dialog.widget("ok_bot"), Qt::LeftButton); });
    dialog.showModal();
    EXPECT_EQ(unloads, 0);  // unloaded by the program: no unload handler
    whenModal([](QWidget* w) { w->close(); });
    dialog.showModal();
    EXPECT_EQ(unloads, 1);
}

TEST_F(Dialog, FolderListRefusesAMissingFolderAndStaysPut) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    QtForm files{File_Form::formSpec()};
    auto& dir = files.dirList("Dir1");
    dir.setPath(root);
    try {
        dir.setPath(root + "/missing");
        ADD_FAILURE() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::PathNotFound);
    }
    EXPECT_EQ(dir.path(), root);
}

TEST(MessageBox, TitleIconAndNoAsTheDefault) {
    platform::qt::QtUi ui{"VorbixLoader"};
    whenModal([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        EXPECT_EQ(box->windowTitle(), "VorbixLoader");
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    EXPECT_EQ(ui.msgBox("Save?", platform::Icon::Exclamation, platform::Buttons::YesNo),
              platform::Answer::Yes);
}

}  // namespace
