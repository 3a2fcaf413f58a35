// The main window as Qt builds it from its table, and its record text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <map>

#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"

namespace {

struct MainWindow : ::testing::Test {
    const platform::FormTable& table = VorbixLoader::formTable();
    platform::qt::QtForm form{table};
    QPlainTextEdit* text = qobject_cast<QPlainTextEdit*>(form.widget("Text1"));
    platform::TextBox& Text1 = form.textBox("Text1");

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    }
};

TEST_F(MainWindow, LaidOutAsItsTableSaysAndTabbedFromTheRecordText) {
    EXPECT_EQ(form.window()->windowTitle().toStdString(), table.caption);
    EXPECT_EQ(form.window()->size(), QSize(table.clientWidth / 15, table.clientHeight / 15));
    std::map<int, QWidget*> stops;
    for (const auto& c : table.controls) {
        if (c.kind == platform::Kind::Timer) continue;
        QWidget* w = form.widget(c.name);
        const auto& r = c.rect;
        EXPECT_EQ(w->geometry(), QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15))
            << c.name;
        EXPECT_EQ(w->property("text").toString().toStdString(), c.caption) << c.name;
        if (c.kind != platform::Kind::Label && c.tab >= 0) stops[c.tab] = w;
    }
    EXPECT_EQ(QApplication::focusWidget(), text);
    // Each Tab moves on to the next stop, round to the first; the record text takes none.
    for (auto it = stops.begin(); it != stops.end(); ++it) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const auto next = std::next(it) == stops.end() ? stops.begin() : std::next(it);
        EXPECT_EQ(QApplication::focusWidget(), next->second) << next->first;
    }
    EXPECT_EQ(Text1.text(), "");
}

TEST_F(MainWindow, RecordTextInsertsAtTheCaretAndReplacesTheSelection) {
    Text1.setText("a\r\nb\r\n");
    Text1.setSelText("first\r\n");  // the caret starts at the top
    QTextCursor c = text->textCursor();
    c.setPosition(8);  // before "b": CR LF is one character
    text->setTextCursor(c);
    Text1.setSelText("x\r\n");
    Text1.setSelText("y");
    c.setPosition(8);
    c.setPosition(6, QTextCursor::KeepAnchor);  // "a" and its line end, selected backwards
    text->setTextCursor(c);
    Text1.setSelText("\x7f\xa0z");  // a no-break space stays one
    EXPECT_EQ(Text1.text(), "first\r\n\x7f\xa0zx\r\nyb\r\n");
}

TEST_F(MainWindow, RecordTextIsLockedAgainstTypingYetSelectable) {
    Text1.setText("12.345\r\n");
    QTest::keyClicks(text, "typed\b\r");
    QTest::keyClick(text, Qt::Key_Delete);
    EXPECT_EQ(Text1.text(), "12.345\r\n");
    QTest::keyClick(text, Qt::Key_End);
    QTest::keyClick(text, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(text->textCursor().selectedText(), "12.345");
}

TEST_F(MainWindow, HundredThousandInsertedLinesReadBackExactly) {
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        const std::string line = std::to_string(i % 100) + "." + std::to_string(i) + "\r\n";
        Text1.setSelText(line);
        expected += line;
    }
    EXPECT_EQ(Text1.text(), expected);
    QCoreApplication::processEvents();  // the caret follows, so the last line comes into view
    EXPECT_EQ(text->verticalScrollBar()->value(), text->verticalScrollBar()->maximum());
}

TEST_F(MainWindow, HourglassCoversTheWholeWindowAndGoesAway) {
    form.setMousePointer(platform::PointerHourglass);
    EXPECT_EQ(form.window()->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(text->viewport()->cursor().shape(), Qt::WaitCursor);
    form.setMousePointer(platform::PointerDefault);
    EXPECT_EQ(form.window()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(text->viewport()->cursor().shape(), Qt::IBeamCursor);
}

}  // namespace
