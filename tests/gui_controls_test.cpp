// The dialogs' controls as Qt realises them: option button arrays, combo boxes, the folder
// list, modal display and message boxes. That Enter answers a Yes/No box No (no file is
// replaced) the end-to-end test download_save_load.sh shows.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "main_window/vorbix_loader.h"
#include "platform/error.h"
#include "platform/qt/qt_ui.h"
#include "port_settings/port_setei.h"
#include "record_files/file_form.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

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
    QtForm form{port_setei::formTable()};

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
    EXPECT_THROW(form.button("no_such"), std::logic_error);  // a fault of the program
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

// Right after a dialog closes no window is active until the window manager says so; a box
// shown then belongs, and is centred, on the window under it, not on the screen.
TEST_F(Dialog, ShowModalReturnsOnceUnloadedOrClosedAndABoxThenBelongsToTheWindowUnderIt) {
    platform::qt::QtUi ui{"VorbixLoader", platform::systemFileSystem()};
    QtForm dialog{port_setei::formTable()};
    int unloads = 0;
    dialog.onUnload = [&] { ++unloads; };
    whenModal([&](QWidget*) { dialog.unload(); });
    dialog.showModal();
    EXPECT_EQ(unloads, 0);  // unloaded by the program: no unload handler
    whenModal([](QWidget* w) { w->close(); });
    dialog.showModal();
    EXPECT_EQ(unloads, 1);
    QApplication::setActiveWindow(nullptr);
    QWidget* owner = nullptr;
    whenModal([&](QWidget* box) {
        owner = box->parentWidget();
        box->close();
    });
    ui.msgBox("COM5: cannot open", platform::Icon::Critical);
    EXPECT_EQ(owner, form.window());
}

TEST_F(Dialog, FolderListRefusesAMissingFolderAndStaysPut) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    QtForm files{File_Form::formTable()};
    auto& dir = files.dirList("Dir1");
    dir.setPath(root);
    EXPECT_THROW(dir.setPath(root + "/missing"), platform::RuntimeError);
    EXPECT_EQ(dir.path(), root);
}

}  // namespace

// The dialogs as the operator meets them: the program's own commands on real widgets.
struct OnScreen : ::testing::Test {
    platform::qt::QtUi ui{VorbixLoader::Title, platform::systemFileSystem()};
    std::unique_ptr<platform::Form> mainForm = ui.createForm(VorbixLoader::formTable());
    fake::Log log;
    fake::CommPort comm{&log};
    platform::Files files;
    fake::Clock clock;
    VorbixLoader vl{ui, *mainForm, comm, files, platform::systemFileSystem(), clock};

    template <class W>
    static W* child(QWidget* dialog, const char* name) {
        auto* w = dialog->findChild<W*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
};

// A right-click on "com 5" offers the devices of a /dev tree of the test's own, the
// default checked; a choice points COM5 at the adapter's by-id name and chooses the port.
TEST_F(OnScreen, PortDeviceMenuPointsTheComLinkAtTheChosenDevice) {
    namespace fs = std::filesystem;
    support::ScratchDir dir;
    const fs::path dev = fs::path(dir.path()) / "dev";
    fs::create_directories(dev / "serial/by-id");
    std::ofstream(dev / "ttyUSB0");
    const fs::path adapter = dev / "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0";
    fs::create_symlink("../../ttyUSB0", adapter);
    vl.deviceRoot = dev.string();
    vl.PORT_NO = 2;
    whenModal([&](QWidget* d) {
        auto* com5 = child<QRadioButton>(d, "com_no(4)");
        QTimer::singleShot(0, [] {
            ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget(); }, 5000));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            const auto actions = menu->actions();
            ASSERT_EQ(actions.size(), 2);
            EXPECT_EQ(actions[1]->text(), "default (/dev/ttyS4)");
            EXPECT_TRUE(actions[1]->isChecked());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(actions[0]).center());
        });
        QContextMenuEvent ask(QContextMenuEvent::Mouse, QPoint(5, 5),
                              com5->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(com5, &ask);
        EXPECT_EQ(fs::read_symlink("COM5"), adapter);
        EXPECT_TRUE(com5->isChecked());
        EXPECT_TRUE(
            com5->toolTip().startsWith(QString::fromStdString("COM5: " + adapter.string() + " (")));
        QTest::mouseClick(child<QPushButton>(d, "ok_bot"), Qt::LeftButton);
    });
    vl.PORT_SET_Click();
    EXPECT_EQ(vl.PORT_NO, 5);
}

TEST_F(OnScreen, FileDialogGoesIntoAFolderAndLoadsTheClickedFile) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    QDir(tmp.path()).mkdir("sub");
    // Named in capitals, as on a memory card: listed and loaded all the same.
    std::ofstream(root + "/sub/LAPS.TXT", std::ios::binary) << "12.345\r\n\r\n";
    std::ofstream(root + "/sub/notes.tx", std::ios::binary);
    vl.PASS_NAME = root;
    whenModal([](QWidget* d) {
        auto* dirs = child<QListWidget>(d, "Dir1");
        const auto sub = dirs->findItems("sub", Qt::MatchEndsWith);
        ASSERT_FALSE(sub.empty());
        dirs->setCurrentItem(sub[0]);
        QTest::keyClick(dirs, Qt::Key_Return);  // opens it, as a double-click does
        auto* files = child<QListWidget>(d, "File1");
        ASSERT_EQ(files->count(), 1);
        const auto laps = files->findItems("LAPS.TXT", Qt::MatchExactly);
        ASSERT_FALSE(laps.empty());
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(laps[0]).center());
        EXPECT_EQ(child<QLineEdit>(d, "Text1")->text(), "LAPS");
        QTest::mouseClick(child<QPushButton>(d, "Command1"), Qt::LeftButton);
    });
    vl.FILE_LOAD_Click();
    EXPECT_EQ(vl.PASS_NAME, root + "/sub");
    EXPECT_EQ(vl.Text1.text(), "12.345\r\n\r\n");
}
