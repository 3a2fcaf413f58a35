// The record text as a screen reader sees it (QAccessible, the interface AT-SPI serves),
// and the dialogs' Tab order and keys.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <map>

#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/record_view.h"
#include "port_settings/port_setei.h"
#include "record_files/file_form.h"

namespace {

using platform::qt::QtForm;

struct RecordText : ::testing::Test {
    QtForm form{VorbixLoader::formTable()};
    platform::qt::RecordView* view = dynamic_cast<platform::qt::RecordView*>(form.widget("Text1"));
    platform::TextBox& Text1 = form.textBox("Text1");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
    QAccessibleTextInterface* text = iface ? iface->textInterface() : nullptr;

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
        ASSERT_TRUE(text);
    }
};

TEST_F(RecordText, IsAReadOnlyFocusableTextWithAName) {
    EXPECT_EQ(iface->role(), QAccessible::Terminal);
    EXPECT_TRUE(iface->state().readOnly);
    EXPECT_TRUE(iface->state().focusable);
    EXPECT_TRUE(iface->state().focused);  // the first tab stop
    EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
}

// Offsets count characters as shown: one per byte, one for a CR LF.
TEST_F(RecordText, ReadsCharactersWordsAndLinesAsShown) {
    Text1.setText("1 12.345\r\n2 \x01\xe9\r\n\r\n4 last");
    const QString shown = QStringLiteral("1 12.345\n2 \u2401\u00e9\n\n4 last");
    EXPECT_EQ(text->characterCount(), shown.size());
    EXPECT_EQ(text->text(0, text->characterCount()), shown);
    EXPECT_EQ(text->text(9, 13), QStringLiteral("2 \u2401\u00e9"));
    EXPECT_EQ(iface->text(QAccessible::Value), shown);

    struct Row {
        const char* ask;
        int offset;
        QAccessible::TextBoundaryType boundary;
        QString text;
        int from, to;
    };
    const Row rows[] = {
        {"at", 0, QAccessible::CharBoundary, "1", 0, 1},
        {"at", 8, QAccessible::CharBoundary, "\n", 8, 9},
        {"after", 8, QAccessible::CharBoundary, "2", 9, 10},
        {"before", 9, QAccessible::CharBoundary, "\n", 8, 9},
        {"at", 3, QAccessible::WordBoundary, "12.345", 2, 8},
        {"at", 4, QAccessible::LineBoundary, "1 12.345\n", 0, 9},
        {"at", 11, QAccessible::LineBoundary, QStringLiteral("2 \u2401\u00e9\n"), 9, 14},
        {"after", 11, QAccessible::LineBoundary, "\n", 14, 15},
        {"before", 16, QAccessible::LineBoundary, "\n", 14, 15},
        {"at", -1, QAccessible::LineBoundary, "4 last", 15, 21},
        {"after", 16, QAccessible::LineBoundary, "", -1, -1},
        {"at", 1, QAccessible::WordBoundary, "12.345", 2, 8},  // blanks are no word
        {"before", 3, QAccessible::WordBoundary, "1", 0, 1},
        {"after", 3, QAccessible::WordBoundary, "2", 9, 10},
        {"after", 17, QAccessible::WordBoundary, "", -1, -1},
    };
    for (const auto& r : rows) {
        int from = -2, to = -2;
        const std::string ask = r.ask;
        const QString got = ask == "at" ? text->textAtOffset(r.offset, r.boundary, &from, &to)
                            : ask == "before"
                                ? text->textBeforeOffset(r.offset, r.boundary, &from, &to)
                                : text->textAfterOffset(r.offset, r.boundary, &from, &to);
        EXPECT_EQ(got, r.text) << r.ask << " " << r.offset << " " << r.boundary;
        EXPECT_EQ(std::make_pair(from, to), std::make_pair(r.from, r.to))
            << r.ask << " " << r.offset << " " << r.boundary;
    }
}

// The events that tell a client of changes need a platform with accessibility: the
// end-to-end test e2e/atspi_records.sh listens to them through AT-SPI.
TEST_F(RecordText, CaretAndSelectionAsTheOperatorOrAClientMovesThem) {
    Text1.setText("01.234\r\n05.678\r\n");
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(text->cursorPosition(), 13);
    int from = -1, to = -1;
    ASSERT_EQ(text->selectionCount(), 1);
    text->selection(0, &from, &to);
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(7, 13));

    text->setSelection(0, 1, 4);
    EXPECT_EQ(view->selectedText(), "1.2");
    text->setCursorPosition(14);
    EXPECT_EQ(text->cursorPosition(), 14);
    EXPECT_EQ(text->selectionCount(), 0);
    text->setCursorPosition(-1);  // the end, as AT-SPI passes it
    EXPECT_EQ(text->cursorPosition(), text->characterCount());

    text->setCursorPosition(0);
    QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(text->cursorPosition(), 6);
    QTest::keyClick(view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->selectedText(), "01.234");
}

// Where a screen reader's review finds the text: a point in a character's right half is
// still that character; a line scrolled out of view has no place.
TEST_F(RecordText, PlacesOnTheScreen) {
    std::string many;
    for (int i = 0; i < 500; ++i) many += "12.345\r\n";
    Text1.setText(many);
    const QRect first = text->characterRect(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(text->offsetAtPoint(first.center() + QPoint(first.width() / 4, 0)), 0);
    EXPECT_TRUE(text->characterRect(text->characterCount() - 2).isEmpty());
}

// What a screen reader names fields and windows by: a field by the label on its left or by
// its kind, a folder by its name and its depth, a window by its role.
TEST(Names, FieldsFoldersAndWindows) {
    QtForm main(VorbixLoader::formTable()), port(port_setei::formTable()),
        files(File_Form::formTable());
    auto a11y = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
    auto name = [&](QtForm& form, const char* control) {
        return a11y(form.widget(control))->text(QAccessible::Name);
    };
    auto label = [&](QtForm& form, const char* control) {  // a combo box's name is its text
        const auto by = a11y(form.widget(control))->relations(QAccessible::Label);
        return by.empty() ? QString() : by.front().first->text(QAccessible::Name);
    };
    EXPECT_EQ(label(port, "Combo1"), "BPS");
    EXPECT_EQ(name(files, "Text1"), "File name");
    EXPECT_EQ(label(files, "Drive1"), "Drive");
    EXPECT_EQ(name(files, "Dir1"), "Folders");
    EXPECT_EQ(name(files, "File1"), "Files");
    EXPECT_EQ(name(main, "Text1"), "records");  // not by the speed label above it

    files.dirList("Dir1").setPath("/usr");
    QAccessibleInterface* usr = a11y(files.widget("Dir1"))->child(1);
    ASSERT_TRUE(usr);
    EXPECT_EQ(usr->text(QAccessible::Name), "usr");
    EXPECT_EQ(usr->text(QAccessible::Description), "level 2");

    main.show();
    EXPECT_EQ(a11y(main.window())->role(), QAccessible::Window);
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(a11y(port.window())->role(), QAccessible::Dialog);
        port.unload();
    });
    port.showModal();
}

// Each window's tab stops in the order of its table, from the first, which has the focus
// when the window appears, round to it again.
void walkTabs(QtForm& form, const platform::FormTable& table) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    std::map<int, QWidget*> stops;
    for (const auto& c : table.controls) {
        if (c.tab < 0 || c.kind == platform::Kind::Label || c.kind == platform::Kind::Timer)
            continue;
        // An option group is one stop, at its chosen option.
        if (c.kind == platform::Kind::OptionButton && !form.option(c.name, c.index).value())
            continue;
        stops[c.tab] = form.widget(c.name, c.index);
    }
    ASSERT_GE(stops.size(), 3u);
    for (auto it = stops.begin(); it != stops.end(); ++it) {
        QWidget* at = QApplication::focusWidget();
        EXPECT_EQ(at, it->second) << table.caption << " tab " << it->first;
        EXPECT_TRUE(at && at->hasFocus());  // what the style draws its focus by
        QTest::keyClick(at, Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget(), stops.begin()->second) << table.caption;
}

TEST(Keyboard, TabWalksEachWindowInTheOrderOfItsTable) {
    for (const platform::FormTable* table :
         {&VorbixLoader::formTable(), &port_setei::formTable(), &File_Form::formTable()}) {
        QtForm form(*table);
        if (table == &port_setei::formTable()) form.option("com_no", 4).setValue(true);
        walkTabs(form, *table);
    }
}

TEST(Keyboard, PortOptionsMoveWithTheArrowsAndReturnOrEscapeCloseNoDialog) {
    QtForm form(port_setei::formTable());
    form.option("com_no", 0).setValue(true);
    int unloads = 0;
    form.onUnload = [&] { ++unloads; };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    form.widget("com_no", 0)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_TRUE(form.option("com_no", 1).value());
    EXPECT_EQ(QApplication::focusWidget(), form.widget("com_no", 1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(form.option("com_no", 4).value());  // the grid's next row
    for (auto key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_TRUE(form.window()->isVisible());
    }
    EXPECT_EQ(unloads, 0);
}

}  // namespace
