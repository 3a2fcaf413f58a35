// The main window's record text as Qt realises it: one character per byte, locked against
// typing, as the operator and a screen reader meet it (QAccessible, the interface AT-SPI
// serves); and the names of lists and windows. Its role, name and read-only state, the Tab
// order and the PORT dialog's keys are the end-to-end tests' (atspi_records.sh, orca.sh).
// Where each control sits, by its table, is what every click of the end-to-end tests
// relies on.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "main_window/vorbix_loader.h"
#include "platform/qt/byte_codec.h"
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

// Only CR LF breaks a line. Which character each byte shows as is the shared table's,
// checked against the Windows code page by the Windows tests; that any byte string shows
// its lines and no others is the byte codec fuzz target's.
TEST(ByteCodec, OnlyCrLfBreaksALineAndOtherBytesShowAsTheirCharacters) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\r\r\n", u"\u240D\n"},  // a lone CR before the pair stays visible
        {"a\r\nb\n\r", u"a\nb\u240A\u240D"},
        {std::string("\0\x80", 2), u"\u2400\u20AC"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(platform::qt::decodeBytes(bytes), QString::fromStdU16String(shown)) << bytes;
    // Names are UTF-8 when they are valid UTF-8, the record code page otherwise.
    for (const char* name : {"L\xc3\xa4ufe", "L\xe4ufe"})
        EXPECT_EQ(platform::qt::decodeUiText(name), QString::fromStdU16String(u"L\u00E4ufe"));
}

// How often the box repaints meanwhile is record_text_bench's "streaming" figure.
TEST_F(RecordText, StreamedLinesEndShownWithTheLastOneScrolledIntoViewAndPlaced) {
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        const std::string line = "01.2" + std::to_string(i) + "\r\n";
        Text1.setSelText(line);
        expected += line;
        QCoreApplication::processEvents();  // as between two received bytes
    }
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }));
    EXPECT_EQ(Text1.text(), expected);
    // Where a screen reader's review finds it: a point in a character's right half is still
    // that character; a line scrolled out of view has no place.
    const int lastDigit = text->characterCount() - 2;
    const QRect last = text->characterRect(lastDigit);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_EQ(text->offsetAtPoint(last.center() + QPoint(last.width() / 4, 0)), lastDigit);
    EXPECT_TRUE(text->characterRect(0).isEmpty());
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
        {"at", 4, QAccessible::LineBoundary, "1 12.345\n", 0, 9},
        {"at", 11, QAccessible::LineBoundary, QStringLiteral("2 \u2401\u00e9\n"), 9, 14},
        {"after", 11, QAccessible::LineBoundary, "\n", 14, 15},
        {"before", 16, QAccessible::LineBoundary, "\n", 14, 15},
        {"at", -1, QAccessible::LineBoundary, "4 last", 15, 21},
        {"after", 16, QAccessible::LineBoundary, "", -1, -1},
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
TEST_F(RecordText, CaretSelectionAndCopyAsTheOperatorOrAClientMovesThemButNoTyping) {
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

    // Locked against typing, yet what is selected copies.
    QTest::keyClicks(view, "typed\b\r");
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Text1.text(), "01.234\r\n05.678\r\n");
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "01.234\n05.678\n");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(view->selectedText(), "");
}

// What a screen reader names the file lists and a dialog by: a folder by its name and its
// depth, a dialog by its role. The fields' names (BPS, Drive, File name, records), the main
// window's role and the Tab order the end-to-end tests orca.sh and atspi_client.py hear.
TEST(Names, FieldsFoldersAndWindows) {
    QtForm port(port_setei::formTable()), files(File_Form::formTable());
    auto a11y = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
    auto name = [&](QtForm& form, const char* control) {
        return a11y(form.widget(control))->text(QAccessible::Name);
    };
    EXPECT_EQ(name(files, "Dir1"), "Folders");
    EXPECT_EQ(name(files, "File1"), "Files");

    files.dirList("Dir1").setPath("/usr");
    QAccessibleInterface* usr = a11y(files.widget("Dir1"))->child(1);
    ASSERT_TRUE(usr);
    EXPECT_EQ(usr->text(QAccessible::Name), "usr");
    EXPECT_EQ(usr->text(QAccessible::Description), "level 2");

    QTimer::singleShot(0, [&] {
        EXPECT_EQ(a11y(port.window())->role(), QAccessible::Dialog);
        port.unload();
    });
    port.showModal();
}

}  // namespace
