// The main window as Qt builds it from its table, and its record text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <iostream>

#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"

namespace {

using platform::qt::QtForm;

struct MainWindow : ::testing::Test {
    const platform::FormSpec& table = VorbixLoader::formSpec();
    QtForm form{table};
    QWidget* window = form.window();
    QPlainTextEdit* text = qobject_cast<QPlainTextEdit*>(form.widget("Text1"));
    platform::TextBox& Text1 = form.textBox("Text1");

    void SetUp() override {
        ASSERT_NE(text, nullptr);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    // Puts the caret where the operator would click, `pos` characters into the text.
    void placeCaret(int pos, int anchor = -1) {
        QTextCursor c = text->textCursor();
        c.setPosition(anchor < 0 ? pos : anchor);
        if (anchor >= 0) c.setPosition(pos, QTextCursor::KeepAnchor);
        text->setTextCursor(c);
    }
};

TEST_F(MainWindow, CaptionSizeGeometryAndCaptions) {
    EXPECT_EQ(window->windowTitle(), " VorbixLoader  ver 1.00");
    EXPECT_EQ(form.caption(), " VorbixLoader  ver 1.00");
    EXPECT_EQ(window->size(), QSize(691, 431));  // 10365 x 6465 twips

    EXPECT_EQ(form.widget("down_load")->geometry(), QRect(8, 8, 89, 33));
    EXPECT_EQ(form.widget("Text1")->geometry(), QRect(8, 48, 673, 377));
    for (const auto& c : table.controls) {
        if (c.kind == platform::Kind::Timer) continue;
        QWidget* w = form.widget(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->parentWidget(), window) << c.name;
        EXPECT_EQ(w->geometry(),
                  QRect(c.rect.left / 15, c.rect.top / 15, c.rect.width / 15, c.rect.height / 15))
            << c.name;
        EXPECT_EQ(w->font().family(), "Courier New") << c.name;
        EXPECT_EQ(w->font().pointSizeF(), 9.0) << c.name;
    }
    // The form's font resolves to a fixed-pitch face.
    EXPECT_TRUE(QFontInfo(text->font()).fixedPitch());

    auto buttonText = [&](const char* n) {
        return qobject_cast<QPushButton*>(form.widget(n))->text();
    };
    EXPECT_EQ(buttonText("down_load"), "down load");
    EXPECT_EQ(buttonText("FILE_SAVE"), "file save");
    EXPECT_EQ(buttonText("FILE_LOAD"), "file load");
    EXPECT_EQ(buttonText("PORT_SET"), "PORT");
    for (const char* n : {"down_load", "FILE_SAVE", "FILE_LOAD", "PORT_SET"}) {
        auto* b = qobject_cast<QPushButton*>(form.widget(n));
        EXPECT_FALSE(b->isDefault() || b->autoDefault()) << n;
    }
    auto* check = qobject_cast<QCheckBox*>(form.widget("AND_CLR"));
    EXPECT_EQ(check->text(), "Lap all clr");
    EXPECT_EQ(form.checkBox("AND_CLR").value(), 0);
    EXPECT_EQ(qobject_cast<QLabel*>(form.widget("PORT_BPS"))->text(), "BPS");
    form.label("PORT_BPS").setCaption("57600bps");
    EXPECT_EQ(qobject_cast<QLabel*>(form.widget("PORT_BPS"))->text(), "57600bps");
    EXPECT_EQ(form.label("PORT_BPS").caption(), "57600bps");
    EXPECT_EQ(text->toPlainText(), "");
}

TEST_F(MainWindow, TabOrderStartsAtTheRecordText) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), text);

    // Tab stops by their order; the label is not one.
    QWidget* w = text;
    std::vector<QString> chain;
    do {
        w = w->nextInFocusChain();
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && w->window() == window)
            chain.push_back(w->objectName());
    } while (w != text && chain.size() < 20);
    const std::vector<QString> expected{"down_load", "PORT_SET",  "AND_CLR",
                                        "FILE_LOAD", "FILE_SAVE", "Text1"};
    EXPECT_EQ(chain, expected);

    // Tab in the record text moves on rather than typing a tab.
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.widget("down_load"));
    EXPECT_EQ(Text1.text(), "");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.widget("PORT_SET"));
}

TEST_F(MainWindow, RecordTextInsertsAtCaretAndReplacesSelection) {
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);

    Text1.setText("a\r\nb\r\n");
    EXPECT_EQ(text->textCursor().position(), 0);
    Text1.setSelText("first\r\n");
    EXPECT_EQ(Text1.text(), "first\r\na\r\nb\r\n");
    EXPECT_EQ(text->textCursor().position(), 6);  // after it: CR LF is one character

    placeCaret(8);  // before "b"
    Text1.setSelText("x\r\n");
    EXPECT_EQ(Text1.text(), "first\r\na\r\nx\r\nb\r\n");
    EXPECT_EQ(text->textCursor().position(), 10);
    Text1.setSelText("y");
    EXPECT_EQ(Text1.text(), "first\r\na\r\nx\r\nyb\r\n");

    placeCaret(6, 8);  // "a" and its line end, selected backwards
    Text1.setSelText("\x7fz");
    EXPECT_EQ(Text1.text(), "first\r\n\x7fzx\r\nyb\r\n");
    EXPECT_FALSE(text->textCursor().hasSelection());
    EXPECT_EQ(text->textCursor().position(), 8);

    Text1.setText("");
    EXPECT_EQ(Text1.text(), "");
    Text1.setSelText("12.345\r\n");
    Text1.setSelText("\r\r\n");
    EXPECT_EQ(Text1.text(), "12.345\r\n\r\r\n");
}

TEST_F(MainWindow, RecordTextKeepsEveryByte) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    Text1.setText(bytes + "\r\n");
    EXPECT_EQ(Text1.text(), bytes + "\r\n");
    Text1.setText("");
    Text1.setSelText(bytes);
    Text1.setSelText("\xa0\r\n");  // a no-break space stays one
    EXPECT_EQ(Text1.text(), bytes + "\xa0\r\n");
}

TEST_F(MainWindow, RecordTextIsLockedAgainstTyping) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    Text1.setText("12.345\r\n");
    text->setFocus();
    QApplication::clipboard()->setText("pasted");
    QTest::keyClicks(text, "typed");
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClick(text, Qt::Key_Backspace);
    QTest::keyClick(text, Qt::Key_Delete);
    QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text1.text(), "12.345\r\n");

    // The caret can still be moved and text selected from the keyboard.
    QTest::keyClick(text, Qt::Key_End);
    QTest::keyClick(text, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(text->textCursor().selectedText(), "12.345");
}

TEST_F(MainWindow, HundredThousandInsertedLines) {
    std::string expected;
    Text1.setText("");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100000; ++i) {
        const std::string line = std::to_string(i % 100) + "." + std::to_string(i) + "\r\n";
        Text1.setSelText(line);
        expected += line;
    }
    const auto inserted = clock.elapsed();
    EXPECT_EQ(Text1.text(), expected);
    std::cout << "[ figures  ] 100000 lines inserted in " << inserted << " ms, read back in "
              << clock.elapsed() - inserted << " ms\n";
    EXPECT_EQ(text->blockCount(), 100001);
    // The caret follows the inserts, so the last line comes into view.
    EXPECT_EQ(text->textCursor().position(), text->document()->characterCount() - 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(text->verticalScrollBar()->value(), text->verticalScrollBar()->maximum());
}

TEST_F(MainWindow, HourglassCoversTheWholeWindow) {
    EXPECT_EQ(form.mousePointer(), 0);
    form.setMousePointer(platform::PointerHourglass);
    EXPECT_EQ(form.mousePointer(), 11);
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(text->viewport()->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form.widget("down_load")->cursor().shape(), Qt::WaitCursor);

    form.setMousePointer(platform::PointerDefault);
    EXPECT_EQ(form.mousePointer(), 0);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(text->viewport()->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(MainWindow, ButtonsTimerAndClosing) {
    auto& down = form.button("down_load");
    int clicks = 0;
    down.onClick = [&] { ++clicks; };
    auto* b = qobject_cast<QPushButton*>(form.widget("down_load"));
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    down.setEnabled(false);
    EXPECT_FALSE(down.enabled());
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    auto& timer = form.timer("Timer1");
    EXPECT_FALSE(timer.enabled());
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    timer.setEnabled(true);
    EXPECT_TRUE(timer.enabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 10000));
    timer.setEnabled(false);
    const int stopped = ticks;
    QTest::qWait(300);
    EXPECT_EQ(ticks, stopped);

    // The close box runs the unload handler once.
    int unloads = 0;
    form.onUnload = [&] { ++unloads; };
    window->close();
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, TimerHandlerIsNotReentered) {
    auto& timer = form.timer("Timer1");
    int depth = 0, deepest = 0, ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // As if waiting in a message box: events, and ticks, go on meanwhile.
        if (ticks == 1) QTest::qWait(400);
        --depth;
    };
    timer.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 10000));
    timer.setEnabled(false);
    EXPECT_EQ(deepest, 1);
}

}  // namespace
