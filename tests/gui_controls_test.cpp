// Dialog-style windows: frames, option button arrays, combo boxes, the file lists, modal
// display and message boxes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/error.h"
#include "platform/qt/qt_ui.h"

namespace {

QString q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

using platform::Kind;
using platform::qt::QtForm;

platform::FormSpec dialogSpec() {
    using platform::control;
    platform::FormSpec s;
    s.caption = "PORT SET";
    s.clientWidth = 3360;
    s.clientHeight = 2850;
    s.font = "Courier New";
    s.fontPoints = 9;
    s.controls.push_back(control("Frame1", Kind::Frame, "PORT", {120, 120, 3135, 2175}));
    for (int i = 0; i < 3; ++i) {
        auto c = control("com_no", Kind::OptionButton, "com " + std::to_string(i + 1),
                         {240 + 960 * i, 240, 855, 255}, i);
        c.index = i;
        c.parent = "Frame1";
        s.controls.push_back(c);
    }
    auto label = control("Label1", Kind::Label, "BPS", {1440, 1800, 495, 255});
    label.parent = "Frame1";
    label.fontPoints = 9.75;
    s.controls.push_back(label);
    auto combo = control("Combo1", Kind::ComboBox, "9600", {2040, 1680, 975, 345}, 3);
    combo.parent = "Frame1";
    combo.items = {"9600", "19200", "38400", "57600"};
    s.controls.push_back(combo);
    s.controls.push_back(control("ok_bot", Kind::CommandButton, "OK", {120, 2400, 975, 375}, 4));
    return s;
}

platform::FormSpec fileSpec() {
    using platform::control;
    platform::FormSpec s;
    s.caption = " LOAD";
    s.clientWidth = 6195;
    s.clientHeight = 3810;
    s.controls = {
        control("Drive1", Kind::DriveList, "", {0, 120, 2895, 345}, 0),
        control("Dir1", Kind::DirList, "", {0, 600, 2895, 2610}, 1),
        control("File1", Kind::FileList, "", {3000, 120, 3135, 3150}, 2),
        control("Text1", Kind::TextBox, "", {1080, 3360, 3975, 270}, 3),
    };
    return s;
}

// Runs `step` once the next modal window is up.
void whenModal(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step] {
        if (QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000))
            step(QApplication::activeModalWidget());
        else
            ADD_FAILURE() << "no modal window came up";
    });
}

struct Dialog : ::testing::Test {
    QtForm form{dialogSpec()};
    QWidget* window = form.window();

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    QRadioButton* radio(int i) { return qobject_cast<QRadioButton*>(form.widget("com_no", i)); }
};

TEST_F(Dialog, FrameHoldsItsControlsRelativeToItself) {
    auto* frame = qobject_cast<QGroupBox*>(form.widget("Frame1"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "PORT");
    EXPECT_EQ(frame->geometry(), QRect(8, 8, 209, 145));
    EXPECT_EQ(window->size(), QSize(224, 190));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(radio(i)->parentWidget(), frame);
        EXPECT_EQ(radio(i)->geometry(), QRect(16 + 64 * i, 16, 57, 17));
        EXPECT_EQ(radio(i)->text(), QString("com %1").arg(i + 1));
    }
    EXPECT_EQ(form.widget("Label1")->parentWidget(), frame);
    EXPECT_EQ(form.widget("Label1")->geometry(), QRect(96, 120, 33, 17));
    EXPECT_EQ(form.widget("Label1")->font().pointSizeF(), 9.75);
    EXPECT_EQ(form.widget("Combo1")->font().pointSizeF(), 9.0);
    EXPECT_EQ(form.widget("ok_bot")->parentWidget(), window);
}

TEST_F(Dialog, OptionButtonsAreExclusiveAndClickOnlyForTheOperator) {
    int clicked = -1, clicks = 0;
    for (int i = 0; i < 3; ++i)
        form.option("com_no", i).onClick = [&, i] {
            clicked = i;
            ++clicks;
        };
    form.option("com_no", 1).setValue(true);
    EXPECT_TRUE(form.option("com_no", 1).value());
    EXPECT_EQ(clicks, 0);
    form.option("com_no", 2).setValue(true);
    EXPECT_FALSE(form.option("com_no", 1).value());
    EXPECT_TRUE(form.option("com_no", 2).value());
    EXPECT_EQ(clicks, 0);

    QTest::mouseClick(radio(0), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(clicked, 0);
    EXPECT_TRUE(form.option("com_no", 0).value());
    EXPECT_FALSE(form.option("com_no", 2).value());

    form.option("com_no", 0).setValue(false);  // nothing chosen is allowed
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(form.option("com_no", i).value());

    try {
        form.option("com_no", 12);
        FAIL() << "no error for a missing element";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 340);
    }
    EXPECT_THROW(form.option("no_such", 0), std::logic_error);
    EXPECT_THROW(form.button("Combo1"), std::logic_error);
}

TEST_F(Dialog, ComboClicksOnlyForAListChoice) {
    auto* box = qobject_cast<QComboBox*>(form.widget("Combo1"));
    auto& combo = form.combo("Combo1");
    EXPECT_EQ(combo.text(), "9600");
    EXPECT_EQ(box->count(), 4);
    std::vector<std::string> clicks;
    combo.onClick = [&] { clicks.push_back(combo.text()); };

    combo.setText("19200");
    EXPECT_EQ(combo.text(), "19200");
    EXPECT_TRUE(clicks.empty());

    // Typed text is never a choice, not even text equal to an item, by Enter or by
    // leaving the field.
    QLineEdit* edit = box->lineEdit();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    box->setFocus();
    for (const char* typed : {"4800", "38400"}) {
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(combo.text(), typed);
    }
    edit->selectAll();
    QTest::keyClicks(edit, "57600");
    form.widget("ok_bot")->setFocus();
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(box->count(), 4);  // nothing typed was added to the list

    // Choosing from the open list.
    box->showPopup();
    QAbstractItemView* view = box->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 5000));
    const QRect item = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], "38400");

    // Arrow keys in the field step through the list: a choice too.
    box->setFocus();
    QTest::keyClick(edit, Qt::Key_Down);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1], "57600");
}

TEST_F(Dialog, ShowModalReturnsOnceUnloadedOrClosed) {
    // Unloaded by its own button: no unload handler.
    QtForm dialog{dialogSpec()};
    int unloads = 0;
    dialog.onUnload = [&] { ++unloads; };
    dialog.button("ok_bot").onClick = [&] { dialog.unload(); };
    bool wasModal = false;
    whenModal([&](QWidget* w) {
        wasModal = w == dialog.window() && w->windowModality() == Qt::ApplicationModal;
        QTest::mouseClick(dialog.widget("ok_bot"), Qt::LeftButton);
    });
    dialog.showModal();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(unloads, 0);
    EXPECT_FALSE(dialog.window()->isVisible());

    // The close box: the unload handler, then the dialog is gone.
    whenModal([](QWidget* w) { w->close(); });
    dialog.showModal();
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(dialog.window()->isVisible());
}

TEST_F(Dialog, FormMayBeDestroyedByItsOwnButton) {
    auto dialog = std::make_unique<QtForm>(dialogSpec());
    dialog->show();
    QPointer<QWidget> w = dialog->window();
    dialog->button("ok_bot").onClick = [&] { dialog.reset(); };
    QTest::mouseClick(dialog->widget("ok_bot"), Qt::LeftButton);
    EXPECT_EQ(dialog, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 5000));
}

struct MessageBoxes : ::testing::Test {
    platform::qt::QtUi ui{"VorbixLoader"};
};

TEST_F(MessageBoxes, TitleIconsAndDefaultAnswer) {
    QString title, text;
    QMessageBox::Icon icon{};
    bool noIsDefault = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui.msgBox("Save <all>?", platform::Icon::Exclamation, platform::Buttons::YesNo),
              platform::Answer::No);
    EXPECT_EQ(title, "VorbixLoader");
    EXPECT_EQ(text, "Save <all>?");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_TRUE(noIsDefault);

    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    EXPECT_EQ(ui.msgBox("again?", platform::Icon::None, platform::Buttons::YesNo),
              platform::Answer::Yes);

    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        icon = box->icon();
        text = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui.msgBox("!! non file !!", platform::Icon::Critical), platform::Answer::Ok);
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, "!! non file !!");
}

// A folder tree to list: subfolders, files, hidden entries.
struct Lists : ::testing::Test {
    QTemporaryDir tmp;
    std::string root;
    QtForm form{fileSpec()};

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = QDir(tmp.path()).canonicalPath().toStdString();
        QDir d(tmp.path());
        for (const char* sub : {"beta", "Alpha", ".hidden", "d.txt", "beta/inner"})
            ASSERT_TRUE(d.mkpath(sub));
        for (const char* f : {"b.txt", "A.txt", "c.dat", ".h.txt", "beta/in.txt"}) {
            QFile file(d.filePath(f));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window()));
    }
    QStringList rows(const char* name) {
        QStringList out;
        auto* list = qobject_cast<QListWidget*>(form.widget(name));
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text().trimmed();
        return out;
    }
};

TEST_F(Lists, FolderListShowsAncestorsAndSubfoldersAndEntersByActivation) {
    auto& dir = form.dirList("Dir1");
    int changes = 0;
    dir.onChange = [&] { ++changes; };
    dir.setPath(root + "/");
    EXPECT_EQ(dir.path(), root);
    EXPECT_EQ(changes, 1);
    QStringList shown = rows("Dir1");
    ASSERT_GE(shown.size(), 4);
    EXPECT_EQ(shown.front(), "/");
    // No files, no hidden folders; a folder named like a file is still a folder.
    EXPECT_EQ(
        shown.mid(shown.size() - 4),
        QStringList({QDir(QString::fromStdString(root)).dirName(), "Alpha", "beta", "d.txt"}));

    dir.setPath(root);  // the same folder: no change
    EXPECT_EQ(changes, 1);
    dir.setPath(root + "/Alpha/../beta");
    EXPECT_EQ(dir.path(), root + "/beta");
    EXPECT_EQ(changes, 2);

    // A folder that cannot be listed: an error, and the list stays where it was.
    try {
        dir.setPath(root + "/missing");
        FAIL() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::PathNotFound);
    }
    EXPECT_EQ(dir.path(), root + "/beta");
    EXPECT_THROW(dir.setPath(root + "/b.txt"), platform::RuntimeError);

    // The operator opens the subfolder "inner" by a double-click.
    auto* list = qobject_cast<QListWidget*>(form.widget("Dir1"));
    QListWidgetItem* inner = list->item(list->count() - 1);
    ASSERT_EQ(inner->text().trimmed(), "inner");
    const QPoint at = list->visualItemRect(inner).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(changes, 2);  // a single click only points at it
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dir.path(), root + "/beta/inner");
    EXPECT_EQ(changes, 3);
}

TEST_F(Lists, FileListMatchesPatternAndReportsTheChosenFile) {
    auto& files = form.fileList("File1");
    files.setPattern("*.txt");
    files.setPath(root);
    EXPECT_EQ(files.path(), root);
    EXPECT_EQ(rows("File1"), QStringList({"A.txt", "b.txt"}));  // no folders, no hidden
    EXPECT_EQ(files.fileName(), "");

    int clicks = 0;
    files.onClick = [&] { ++clicks; };
    auto* list = qobject_cast<QListWidget*>(form.widget("File1"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    // Tabbing into the list chooses nothing.
    form.widget("Dir1")->setFocus();
    QTest::keyClick(form.widget("Dir1"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(files.fileName(), "");

    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(files.fileName(), "b.txt");
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);  // again: another click
    EXPECT_EQ(clicks, 2);
    QTest::keyClick(list, Qt::Key_Up);  // by keys
    EXPECT_EQ(files.fileName(), "A.txt");
    EXPECT_EQ(clicks, 3);

    files.setPattern("*.dat;*.txt");
    EXPECT_EQ(rows("File1"), QStringList({"A.txt", "b.txt", "c.dat"}));
    EXPECT_EQ(files.fileName(), "");
    EXPECT_EQ(clicks, 3);  // refilling is no click

    EXPECT_THROW(files.setPath(root + "/missing"), platform::RuntimeError);
    EXPECT_EQ(files.path(), root);
}

TEST_F(Lists, DriveListStartsAtRootAndReportsChanges) {
    auto& drives = form.driveList("Drive1");
    EXPECT_EQ(drives.drive(), "/");
    int changes = 0;
    drives.onChange = [&] { ++changes; };
    drives.setDrive("/");
    EXPECT_EQ(changes, 0);
    drives.setDrive(root);  // not a mount point, yet offered once asked for
    EXPECT_EQ(drives.drive(), root);
    EXPECT_EQ(changes, 1);
    drives.setDrive("/");
    EXPECT_EQ(changes, 2);

    auto* box = qobject_cast<QComboBox*>(form.widget("Drive1"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);  // the operator picks the next place
    EXPECT_EQ(changes, 3);
    EXPECT_NE(drives.drive(), "/");
}

TEST_F(Lists, NameBoxInsertsAtTheCaret) {
    auto& name = form.textBox("Text1");
    name.setText("LAP_DAT_01-09-2005");
    EXPECT_EQ(name.text(), "LAP_DAT_01-09-2005");
    auto* edit = qobject_cast<QLineEdit*>(form.widget("Text1"));
    edit->setSelection(0, 3);
    name.setSelText("RUN");
    EXPECT_EQ(name.text(), "RUN_DAT_01-09-2005");
    EXPECT_EQ(edit->cursorPosition(), 3);
    name.setText("L\xc3\xa4ufe");
    EXPECT_EQ(edit->text(), q(u"L\u00E4ufe"));
    EXPECT_EQ(name.text(), "L\xc3\xa4ufe");
}

}  // namespace
