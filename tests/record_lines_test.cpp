// The record lines both record views show: bytes in, the same bytes out, the caret where
// the next line goes. Where lines split, with their offsets as a screen reader counts them,
// the Qt record text's accessibility test reads.
#include "platform/record_lines.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using Pos = RecordLines::Pos;

TEST(RecordLines, TextRoundTripsByteForByte) {
    const std::string cases[] = {
        "a\r\nb\r\n",                             // ends in CR LF: an empty last line
        "\r\n\r\n",                               // empty lines only
        "lone CR\r and LF\n stay in the line",    // only the pair cuts a line
        std::string("nul\0and\xff\x80\x1b", 10),  // any byte
        "cr before pair\r\r\nlf after\r\n\n",
    };
    for (const auto& bytes : cases) {
        RecordLines r;
        r.setText(bytes);
        EXPECT_EQ(r.text(), bytes);
        EXPECT_EQ(r.caret(), Pos{}) << "setText leaves the caret at the start";
        r.replaceSelection(bytes);  // at the start: the text twice
        EXPECT_EQ(r.text(), bytes + bytes);
    }
}

TEST(RecordLines, InsertsAndReplacesAtCaret) {
    struct Case {
        const char* text;
        size_t anchor, caret;
        const char* bytes;
        const char* after;
        Pos caretAfter;
        const char* selected;  // before the insert
    };
    const Case cases[] = {
        // A download: each line at the end, the caret after it.
        {"1\r\n", 3, 3, "2\r\n", "1\r\n2\r\n", {2, 0}, ""},
        // The final line without CR LF goes on at the caret.
        {"1\r\n2", 4, 4, "3", "1\r\n23", {1, 2}, ""},
        {"ab\r\ncd\r\nef", 5, 5, "X\r\nY", "ab\r\ncX\r\nYd\r\nef", {2, 1}, ""},
        // The selection is replaced, whichever way it was made.
        {"ab\r\ncd\r\nef\r\ngh", 1, 9, "-", "a-f\r\ngh", {0, 2}, "b\r\ncd\r\ne"},
        {"ab\r\ncd\r\nef\r\ngh", 9, 1, "", "af\r\ngh", {0, 1}, "b\r\ncd\r\ne"},
        // A CR before the caret and an LF inserted pair up; the caret goes past them.
        {"a\r", 2, 2, "\nb", "a\r\nb", {1, 1}, ""},
        {"a\nb", 1, 1, "\r", "a\r\nb", {1, 0}, ""},
        {"a\rX\nb", 2, 3, "", "a\r\nb", {1, 0}, "X"},
        // An offset inside a CR LF moves past it; one past the end stops at the end.
        {"ab\r\ncd", 3, 3, "X", "ab\r\nXcd", {1, 1}, ""},
        {"ab", 9, 9, "X", "abX", {0, 3}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RecordLines r;
        r.setText(c.text);
        r.select(c.anchor, c.caret);
        EXPECT_EQ(r.selectedText(), c.selected);
        r.replaceSelection(c.bytes);
        EXPECT_EQ(r.text(), c.after);
        EXPECT_EQ(r.caret(), c.caretAfter);
        EXPECT_FALSE(r.hasSelection());
    }
}

// Ctrl+Left and Ctrl+Right, and a screen reader's words: a lap time is one word, blanks
// are none.
TEST(RecordLines, WordsAreRunsOfNonBlanks) {
    RecordLines l;
    l.setText("001  1:52.259\r\n\r\n  x");
    using Range = std::pair<size_t, size_t>;
    EXPECT_EQ(l.nextWord({0, 0}), (Pos{0, 5}));
    EXPECT_EQ(l.nextWord({0, 5}), (Pos{0, 13}));  // the line's end, then the next line
    EXPECT_EQ(l.nextWord({0, 13}), (Pos{1, 0}));
    EXPECT_EQ(l.previousWord({0, 13}), (Pos{0, 5}));
    EXPECT_EQ(l.previousWord({2, 0}), (Pos{1, 0}));
    EXPECT_EQ(l.previousWord({0, 0}), (Pos{0, 0}));
    EXPECT_EQ(l.wordAt(0, 7), (Range{5, 13}));
    EXPECT_EQ(l.wordAt(0, 3), (Range{5, 13}));  // in blanks: the next
    EXPECT_EQ(l.wordAt(2, 0), (Range{2, 3}));
    EXPECT_EQ(l.wordAt(1, 0), (Range{0, 0}));
}

TEST(RecordLines, ChangedFromTheFirstLineTouched) {
    RecordLines r;
    r.setText("1\r\n2\r\n3\r\n");
    EXPECT_EQ(r.changedFrom(), 0u);
    r.shown();
    r.moveCaret(r.last(), false);
    r.replaceSelection("4\r\n");
    EXPECT_EQ(r.changedFrom(), 3u) << "lines already shown are not painted again";
    r.replaceSelection("5\r\n");
    EXPECT_EQ(r.changedFrom(), 3u);
}

}  // namespace
}  // namespace platform
