#include "platform/record_lines.h"

#include <algorithm>

namespace platform {

std::string RecordLines::text() const {
    std::string out;
    out.reserve(size());
    for (size_t i = 0; i < starts_.size(); ++i) {
        if (i > 0) out += LineEnd;
        out += line(i);
    }
    return out;
}

void RecordLines::setText(std::string_view bytes) {
    // Given back, not kept: a short text after a long one costs only its own bytes.
    std::string().swap(bytes_);
    std::vector<size_t>{0}.swap(starts_);
    widest_ = 0;
    caret_ = anchor_ = {};
    replaceSelection(std::string(bytes));
    caret_ = anchor_ = {};
    changedFrom_ = 0;
}

void RecordLines::replaceSelection(std::string bytes) {
    const Pos a = start(), b = end();
    const size_t from = starts_[a.line] + a.col, to = starts_[b.line] + b.col;
    const size_t grown = bytes.size() - (to - from);  // wraps when it shrinks; sums stay right
    // What is left of the first and last line joins with the bytes into one line, cut
    // again at each CR LF. Only a pair with a byte of `bytes` in it is new, or a CR before
    // the selection with an LF after it, so the pairs are looked for from the byte before
    // `from` to the end of the bytes, and taken out in place.
    const size_t joinedEnd = lineEnd(b.line) + grown;
    const size_t caretAt = from + bytes.size();
    std::vector<size_t> after(starts_.begin() + static_cast<std::ptrdiff_t>(b.line) + 1,
                              starts_.end());
    starts_.resize(a.line + 1);
    // Room for every line the bytes may hold at once: a restore's million lines are not
    // copied again and again as they come.
    const size_t most = starts_.size() + after.size() +
                        static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (most > starts_.capacity()) starts_.reserve(std::max(most, 2 * starts_.capacity()));
    if (bytes_.empty())
        bytes_.swap(bytes);  // `bytes` is gone from here on
    else
        bytes_.replace(from, to - from, bytes);
    size_t read = from > starts_[a.line] ? from - 1 : from, write = read;
    Pos caret;
    for (;;) {
        if (read == caretAt) caret = {starts_.size() - 1, write - starts_.back()};
        if (read >= caretAt) break;
        if (read + 1 < joinedEnd && bytes_[read] == '\r' && bytes_[read + 1] == '\n') {
            starts_.push_back(write);
            if (read + 1 == caretAt) caret = {starts_.size() - 1, 0};  // between: past them
            read += LineEnd.size();
        } else {
            bytes_[write++] = bytes_[read++];
        }
    }
    bytes_.erase(write, read - write);
    for (size_t s : after) starts_.push_back(s + grown - (read - write));
    for (size_t i = a.line; i < starts_.size() - after.size(); ++i)
        widest_ = std::max(widest_, lineEnd(i) - starts_[i]);
    caret_ = anchor_ = caret;
    changedFrom_ = std::min(changedFrom_, a.line);
}

RecordLines::Pos RecordLines::posOf(size_t offset, size_t lineEnd) const {
    // The last line starting at or before `offset`.
    size_t lo = 0, hi = starts_.size();
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        if (offsetOf({mid, 0}, lineEnd) <= offset)
            lo = mid;
        else
            hi = mid;
    }
    const size_t col = offset - offsetOf({lo, 0}, lineEnd);
    if (col <= line(lo).size()) return {lo, col};
    return lo + 1 < starts_.size() ? Pos{lo + 1, 0} : last();
}

void RecordLines::select(size_t anchor, size_t caret) {
    anchor_ = posOf(anchor);
    caret_ = posOf(caret);
    changedFrom_ = 0;
}

void RecordLines::moveCaret(Pos to, bool extend) {
    caret_ = to;
    if (!extend) anchor_ = to;
}

std::string RecordLines::selectedText() const {
    const Pos a = start(), b = end();
    std::string out;
    out.reserve(offsetOf(b) - offsetOf(a));
    for (size_t i = a.line; i <= b.line; ++i) {
        if (i > a.line) out += LineEnd;
        const std::string_view l = line(i);
        out += l.substr(0, i == b.line ? b.col : l.size()).substr(i == a.line ? a.col : 0);
    }
    return out;
}

RecordLines::Pos RecordLines::left(Pos p) const {
    if (p.col > 0) return {p.line, p.col - 1};
    return p.line > 0 ? Pos{p.line - 1, line(p.line - 1).size()} : p;
}

RecordLines::Pos RecordLines::right(Pos p) const {
    if (p.col < line(p.line).size()) return {p.line, p.col + 1};
    return p.line + 1 < starts_.size() ? Pos{p.line + 1, 0} : p;
}

namespace {
bool blank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

RecordLines::Pos RecordLines::previousWord(Pos p) const {
    if (p.col == 0) return p.line > 0 ? Pos{p.line - 1, line(p.line - 1).size()} : p;
    const std::string_view l = line(p.line);
    size_t c = p.col;
    while (c > 0 && blank(l[c - 1])) --c;
    while (c > 0 && !blank(l[c - 1])) --c;
    return {p.line, c};
}

RecordLines::Pos RecordLines::nextWord(Pos p) const {
    const std::string_view l = line(p.line);
    if (p.col >= l.size()) return p.line + 1 < starts_.size() ? Pos{p.line + 1, 0} : p;
    size_t c = p.col;
    while (c < l.size() && !blank(l[c])) ++c;
    while (c < l.size() && blank(l[c])) ++c;
    return {p.line, c};
}

std::pair<size_t, size_t> RecordLines::wordAt(size_t n, size_t col) const {
    const std::string_view l = line(n);
    size_t a = std::min(col, l.size());
    while (a < l.size() && blank(l[a])) ++a;  // in blanks: the next word
    if (a == l.size())                        // none: the one before
        while (a > 0 && blank(l[a - 1])) --a;
    size_t b = a;
    while (a > 0 && !blank(l[a - 1])) --a;
    while (b < l.size() && !blank(l[b])) ++b;
    return {a, b};
}

RecordLines::Pos RecordLines::onLine(size_t line, size_t col) const {
    line = std::min(line, starts_.size() - 1);
    return {line, std::min(col, this->line(line).size())};
}

}  // namespace platform
