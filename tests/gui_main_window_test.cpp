// The main window's record text as Qt realises it. Where each control sits, by its table,
// is what every click of the end-to-end tests relies on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/record_view.h"

namespace {

struct MainWindow : ::testing::Test {
    platform::qt::QtForm form{VorbixLoader::formTable()};
    platform::qt::RecordView* text = dynamic_cast<platform::qt::RecordView*>(form.widget("Text1"));
    platform::TextBox& Text1 = form.textBox("Text1");

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window()));
    }
};

// The keys that move the caret and select are
// RecordText.CaretAndSelectionAsTheOperatorOrAClientMovesThem's.
TEST_F(MainWindow, RecordTextIsLockedAgainstTypingYetCopiesWhatIsSelected) {
    Text1.setText("12.345\r\n");
    QTest::keyClicks(text, "typed\b\r");
    QTest::keyClick(text, Qt::Key_Delete);
    EXPECT_EQ(Text1.text(), "12.345\r\n");
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(text->selectedText(), "12.345\r\n");
    QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "12.345\n");
    QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(text->selectedText(), "");
}

// How often the box repaints meanwhile is record_text_bench's "streaming" figure.
TEST_F(MainWindow, StreamedLinesEndShownWithTheLastOneScrolledIntoView) {
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        const std::string line = "01.2" + std::to_string(i) + "\r\n";
        Text1.setSelText(line);
        expected += line;
        QCoreApplication::processEvents();  // as between two received bytes
    }
    QScrollBar* bar = text->verticalScrollBar();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }));
    EXPECT_EQ(Text1.text(), expected);
}

}  // namespace
