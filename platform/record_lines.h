// The record text as lines, with a caret and a selection: what both window systems' record
// views show. The lines are kept in one buffer without their CR LF, with where each
// starts, so the text costs little more than its bytes, a view paints only the lines in
// view, and an added line costs its bytes, however long the text has grown.
#pragma once

#include <algorithm>
#include <compare>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class RecordLines {
  public:
    struct Pos {
        size_t line = 0, col = 0;  // col: bytes into the line
        auto operator<=>(const Pos&) const = default;
    };

    std::string text() const;
    void setText(std::string_view bytes);  // the caret goes to the start
    // Replaces the selection, or inserts at the caret; the caret ends after the bytes.
    // Taken by value: an empty text takes a large one over (a restore) without a copy.
    void replaceSelection(std::string bytes);
    // Positions are byte offsets into text(); one inside a CR LF moves past it.
    void select(size_t anchor, size_t caret);
    // Moves the caret as the operator did; the selection follows unless `extend`.
    void moveCaret(Pos to, bool extend);
    std::string selectedText() const;

    // Bytes in text(), without building it.
    size_t size() const { return bytes_.size() + LineEnd.size() * (starts_.size() - 1); }
    size_t lineCount() const { return starts_.size(); }
    std::string_view line(size_t i) const {
        return std::string_view(bytes_).substr(starts_[i], lineEnd(i) - starts_[i]);
    }
    size_t widest() const { return widest_; }  // bytes in the longest line
    Pos caret() const { return caret_; }
    Pos start() const { return std::min(caret_, anchor_); }
    Pos end() const { return std::max(caret_, anchor_); }
    bool hasSelection() const { return caret_ != anchor_; }

    // Where the arrow keys lead from `p`; up and down keep the column where the line has it.
    Pos left(Pos p) const;
    Pos right(Pos p) const;
    Pos onLine(size_t line, size_t col) const;
    // Where Ctrl+Left and Ctrl+Right lead: the start of the word before or after `p`, over
    // line ends. A word is a run of characters other than blanks, so a lap time such as
    // 1:52.259 is one word and blanks are none.
    Pos previousWord(Pos p) const;
    Pos nextWord(Pos p) const;
    // The word at column `col` of `line` as [first, second) columns: the one the column is
    // in, else the next on the line, else the one before; empty where the line has none.
    std::pair<size_t, size_t> wordAt(size_t line, size_t col) const;
    Pos last() const { return {starts_.size() - 1, bytes_.size() - starts_.back()}; }

    // Between offsets into the text, each line end counted as `lineEnd` bytes (a view may
    // show it as one character), and positions. An offset inside a line end moves past it.
    size_t offsetOf(Pos p, size_t lineEnd = LineEnd.size()) const {
        return starts_[p.line] + p.line * lineEnd + p.col;
    }
    Pos posOf(size_t offset, size_t lineEnd = LineEnd.size()) const;

    // Lines from this one on changed since a view last showed them (all of them after a
    // new text or selection): a download repaints only the lines it added.
    size_t changedFrom() const { return changedFrom_; }
    void shown() { changedFrom_ = starts_.size(); }

  private:
    static constexpr std::string_view LineEnd = "\r\n";
    size_t lineEnd(size_t i) const {
        return i + 1 < starts_.size() ? starts_[i + 1] : bytes_.size();
    }

    std::string bytes_;              // the lines, none holding a CR LF pair
    std::vector<size_t> starts_{0};  // where each line starts in bytes_
    size_t widest_ = 0;
    Pos caret_, anchor_;
    size_t changedFrom_ = 0;
};

}  // namespace platform
