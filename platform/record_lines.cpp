#include "platform/record_lines.h"

#include <algorithm>

namespace platform {

namespace {
constexpr std::string_view LineEnd = "\r\n";
}  // namespace

std::string RecordLines::text() const {
    size_t size = 0;
    for (const auto& l : lines_) size += l.size() + LineEnd.size();
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) out += LineEnd;
        out += lines_[i];
    }
    return out;
}

void RecordLines::setText(std::string_view bytes) {
    lines_.assign(1, std::string());
    widest_ = 0;
    caret_ = anchor_ = {};
    replaceSelection(bytes);
    caret_ = anchor_ = {};
    changedFrom_ = 0;
}

void RecordLines::replaceSelection(std::string_view bytes) {
    const Pos a = start(), b = end();
    // The bytes with what is left of the first and last line, cut again at each CR LF:
    // a CR before the caret and an LF after it may pair up, as they do in the text.
    std::string joined = lines_[a.line].substr(0, a.col);
    joined += bytes;
    const size_t caretAt = joined.size();
    joined.append(lines_[b.line], b.col);

    std::vector<std::string> parts;
    Pos caret{a.line, 0};
    bool placed = false;
    for (size_t from = 0;;) {
        const size_t cut = joined.find(LineEnd, from);
        const size_t stop = cut == std::string::npos ? joined.size() : cut;
        if (!placed && caretAt <= stop) {
            caret = {a.line + parts.size(), caretAt - from};
            placed = true;
        } else if (!placed && caretAt == stop + 1) {
            caret = {a.line + parts.size() + 1, 0};  // between CR and LF: past them
            placed = true;
        }
        parts.emplace_back(joined, from, stop - from);
        widest_ = std::max(widest_, parts.back().size());
        if (cut == std::string::npos) break;
        from = cut + LineEnd.size();
    }
    lines_[a.line] = std::move(parts[0]);
    const auto next = lines_.begin() + static_cast<std::ptrdiff_t>(a.line) + 1;
    const auto kept = lines_.erase(next, next + static_cast<std::ptrdiff_t>(b.line - a.line));
    lines_.insert(kept, std::make_move_iterator(parts.begin() + 1),
                  std::make_move_iterator(parts.end()));
    caret_ = anchor_ = caret;
    changedFrom_ = std::min(changedFrom_, a.line);
}

RecordLines::Pos RecordLines::posOf(size_t offset) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (offset <= lines_[i].size()) return {i, offset};
        offset -= std::min(offset, lines_[i].size() + LineEnd.size());
    }
    return last();
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
    if (a.line == b.line) return lines_[a.line].substr(a.col, b.col - a.col);
    std::string out = lines_[a.line].substr(a.col);
    for (size_t i = a.line + 1; i < b.line; ++i) (out += LineEnd) += lines_[i];
    (out += LineEnd).append(lines_[b.line], 0, b.col);
    return out;
}

RecordLines::Pos RecordLines::left(Pos p) const {
    if (p.col > 0) return {p.line, p.col - 1};
    return p.line > 0 ? Pos{p.line - 1, lines_[p.line - 1].size()} : p;
}

RecordLines::Pos RecordLines::right(Pos p) const {
    if (p.col < lines_[p.line].size()) return {p.line, p.col + 1};
    return p.line + 1 < lines_.size() ? Pos{p.line + 1, 0} : p;
}

RecordLines::Pos RecordLines::onLine(size_t line, size_t col) const {
    line = std::min(line, lines_.size() - 1);
    return {line, std::min(col, lines_[line].size())};
}

}  // namespace platform
