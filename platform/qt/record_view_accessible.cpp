#include "platform/qt/record_view_accessible.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QScrollBar>
#include <algorithm>
#include <tuple>
#include <utility>

#include "platform/qt/byte_codec.h"
#include "platform/qt/record_view.h"

namespace platform::qt {

namespace {

// Qt's own rules for characters, words and lines, applied to a few lines of text: the
// whole text may be megabytes, and a screen reader asks line by line.
class Excerpt : public QAccessibleTextInterface {
  public:
    explicit Excerpt(QString s) : s_(std::move(s)) {}
    QString text(int from, int to) const override { return s_.mid(from, to - from); }
    int characterCount() const override { return static_cast<int>(s_.size()); }
    void selection(int, int* from, int* to) const override { *from = *to = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int*, int*) const override { return {}; }

  private:
    QString s_;
};

constexpr size_t ExcerptLines = 2;  // either side: a word may start a line back

}  // namespace

class RecordViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    // A terminal's role: screen readers speak the lines added to it as they come, as in a
    // log, and read it as any text.
    explicit RecordViewAccessible(RecordView* v)
        : QAccessibleWidget(v, QAccessible::Terminal), v_(v) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.focusable = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QStringLiteral("records");
        if (t == QAccessible::Value) return v_->shownText(0, v_->charCount());
        return QAccessibleWidget::text(t);
    }

    // --- Text

    QString text(int from, int to) const override {
        const auto [a, b] = range(from, to);
        return v_->shownText(a, b);
    }
    int characterCount() const override { return static_cast<int>(v_->charCount()); }
    int cursorPosition() const override {
        return static_cast<int>(v_->charOffset(v_->lines_.caret()));
    }
    void setCursorPosition(int at) override { v_->moveCaret(pos(at), false); }

    int selectionCount() const override { return v_->lines_.hasSelection() ? 1 : 0; }
    void selection(int index, int* from, int* to) const override {
        *from = *to = 0;
        if (index != 0 || !v_->lines_.hasSelection()) return;
        *from = static_cast<int>(v_->charOffset(v_->lines_.start()));
        *to = static_cast<int>(v_->charOffset(v_->lines_.end()));
    }
    void setSelection(int index, int from, int to) override {
        if (index != 0) return;
        v_->lines_.moveCaret(pos(from), false);
        v_->moveCaret(pos(to), true);
    }
    void addSelection(int from, int to) override { setSelection(0, from, to); }
    void removeSelection(int index) override {
        if (index == 0) v_->moveCaret(v_->lines_.caret(), false);
    }

    QString textAtOffset(int at, QAccessible::TextBoundaryType b, int* from,
                         int* to) const override {
        if (b == QAccessible::WordBoundary) return word(at, 0, from, to);
        return around(at, from, to, [&](const Excerpt& e, int o, int* f, int* t) {
            return e.textAtOffset(o, b, f, t);
        });
    }
    QString textBeforeOffset(int at, QAccessible::TextBoundaryType b, int* from,
                             int* to) const override {
        if (b == QAccessible::WordBoundary) return word(at, -1, from, to);
        return around(at, from, to, [&](const Excerpt& e, int o, int* f, int* t) {
            return e.textBeforeOffset(o, b, f, t);
        });
    }
    QString textAfterOffset(int at, QAccessible::TextBoundaryType b, int* from,
                            int* to) const override {
        if (b == QAccessible::WordBoundary) return word(at, 1, from, to);
        return around(at, from, to, [&](const Excerpt& e, int o, int* f, int* t) {
            return e.textAfterOffset(o, b, f, t);
        });
    }

    QRect characterRect(int at) const override {
        const RecordLines::Pos p = pos(at);
        const QFontMetrics fm(v_->font());
        const QString line = decodeBytes(v_->lines_.line(p.line));
        const int row = static_cast<int>(p.line) - v_->verticalScrollBar()->value();
        // A line out of view has no place on the screen, which shows other controls there.
        if (row < 0 || (row + 1) * fm.lineSpacing() > v_->viewport()->height()) return {};
        const int x = 4 - v_->horizontalScrollBar()->value() +
                      fm.horizontalAdvance(line.left(static_cast<qsizetype>(p.col)));
        const QChar c = p.col < static_cast<size_t>(line.size()) ? line[p.col] : QChar(u' ');
        const QRect local(x, row * fm.lineSpacing(), fm.horizontalAdvance(c), fm.lineSpacing());
        return {v_->viewport()->mapToGlobal(local.topLeft()), local.size()};
    }
    int offsetAtPoint(const QPoint& global) const override {
        return static_cast<int>(
            v_->charOffset(v_->hit(v_->viewport()->mapFromGlobal(global), true)));
    }
    void scrollToSubstring(int from, int) override {
        v_->verticalScrollBar()->setValue(static_cast<int>(pos(from).line));
    }
    QString attributes(int, int* from, int* to) const override {
        *from = 0;
        *to = characterCount();
        return {};
    }

  private:
    // -1 stands for the end, as AT-SPI passes it.
    size_t offset(int at) const {
        const size_t count = v_->charCount();
        return at < 0 ? count : std::min(static_cast<size_t>(at), count);
    }
    RecordLines::Pos pos(int at) const { return v_->posAt(offset(at)); }
    std::pair<size_t, size_t> range(int from, int to) const {
        const size_t a = offset(from), b = offset(to);
        return {std::min(a, b), std::max(a, b)};
    }

    // The word at `at` (step 0), or the one before (-1) or after (1) it: RecordLines' words,
    // so a lap time is one word and blanks are none.
    QString word(int at, int step, int* from, int* to) const {
        const RecordLines& l = v_->lines_;
        RecordLines::Pos p = pos(at);
        auto [a, b] = l.wordAt(p.line, p.col);
        const RecordLines::Pos first{p.line, a}, end{p.line, b};
        for (RecordLines::Pos s = step < 0 ? first : end; step != 0;) {
            const RecordLines::Pos q = step < 0 ? l.previousWord(s) : l.nextWord(s);
            if (q == s) {  // no word there
                *from = *to = -1;
                return {};
            }
            s = p = q;
            std::tie(a, b) = l.wordAt(p.line, p.col);
            if (a < b && (step < 0 ? RecordLines::Pos{p.line, b} <= first
                                   : RecordLines::Pos{p.line, a} >= end))
                break;
        }
        *from = static_cast<int>(v_->charOffset({p.line, a}));
        *to = static_cast<int>(v_->charOffset({p.line, b}));
        return v_->shownText(static_cast<size_t>(*from), static_cast<size_t>(*to));
    }

    template <class F>
    QString around(int at, int* from, int* to, F boundary) const {
        const RecordLines::Pos p = pos(at);
        const size_t first = p.line > ExcerptLines ? p.line - ExcerptLines : 0;
        const size_t last = std::min(v_->lines_.lineCount() - 1, p.line + ExcerptLines);
        const size_t base = v_->charOffset({first, 0});
        QString s = v_->shownText(base, v_->charOffset({last, v_->lines_.line(last).size()}));
        // The line end after the excerpt's last line, unless the text ends there.
        if (last + 1 < v_->lines_.lineCount()) s += QChar(u'\n');
        const Excerpt e(std::move(s));
        const QString out = boundary(e, static_cast<int>(v_->charOffset(p) - base), from, to);
        if (*from >= 0) *from += static_cast<int>(base);
        if (*to >= 0) *to += static_cast<int>(base);
        return out;
    }

    RecordView* v_;
};

namespace {

QAccessibleInterface* recordViewFactory(const QString&, QObject* object) {
    // The view has no meta object of its own: found by its C++ type.
    if (auto* v = dynamic_cast<RecordView*>(object)) return new RecordViewAccessible(v);
    return nullptr;
}

}  // namespace

void installRecordViewAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(recordViewFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace platform::qt
