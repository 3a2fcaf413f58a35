#include "platform/qt/record_view.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <algorithm>
#include <utility>

#include "platform/qt/byte_codec.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/record_view_accessible.h"

namespace platform::qt {

namespace {
constexpr int Margin = 4;  // pixels left of the text, as a text box leaves
}  // namespace

RecordView::RecordView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    installRecordViewAccessible();
    layOut();
}

void RecordView::setText(std::string_view bytes) {
    noteTextChange(false);
    lines_.setText(bytes);
    changed();
}

void RecordView::replaceSelection(std::string bytes) {
    noteTextChange(!lines_.hasSelection() && lines_.caret() == lines_.last());
    lines_.replaceSelection(std::move(bytes));
    changed();
}

size_t RecordView::charCount() const {
    return charOffset(lines_.last());
}

size_t RecordView::charOffset(Pos p) const {
    return lines_.offsetOf(p, 1);
}

RecordView::Pos RecordView::posAt(size_t offset) const {
    return lines_.posOf(offset, 1);
}

QString RecordView::shownText(size_t from, size_t to) const {
    const Pos a = posAt(from), b = posAt(std::max(from, to));
    QString out;
    for (size_t i = a.line; i <= b.line; ++i) {
        if (i > a.line) out += QChar(u'\n');
        const std::string_view line = lines_.line(i);
        const size_t start = i == a.line ? a.col : 0, stop = i == b.line ? b.col : line.size();
        out += decodeBytes(line.substr(start, stop - start));
    }
    return out;
}

void RecordView::noteTextChange(bool appending) {
    // Costs nothing while no client listens; with one, a count per cadence while appending.
    if (!QAccessible::isActive()) return;
    if (!untold_) {
        toldCount_ = charCount();
        appendedOnly_ = true;
        untold_ = true;
    }
    if (appendedOnly_ && !appending) {
        toldText_ = shownText(0, toldCount_);  // the appends since were not told yet
        appendedOnly_ = false;
    }
}

void RecordView::tellTextChanges(bool now) {
    if (!untold_) return;
    // Appends are told in groups: the first at once, the next TellMs after it.
    if (appendedOnly_ && !now && told_.isValid() && !told_.hasExpired(TellMs)) {
        if (!tell_.isActive()) tell_.start(TellMs - static_cast<int>(told_.elapsed()), this);
        return;
    }
    tell_.stop();
    if (appendedOnly_)
        told_.start();
    else
        told_.invalidate();
    untold_ = false;
    if (!QAccessible::isActive()) return;
    const size_t count = charCount();
    if (appendedOnly_) {
        if (count == toldCount_) return;
        QAccessibleTextInsertEvent insert(this, static_cast<int>(toldCount_),
                                          shownText(toldCount_, count));
        QAccessible::updateAccessibility(&insert);
    } else {
        // A new text: a download's start empties it, a file load replaces it.
        if (!toldText_.isEmpty()) {
            QAccessibleTextRemoveEvent remove(this, 0, std::exchange(toldText_, QString()));
            QAccessible::updateAccessibility(&remove);
        }
        if (count > 0) {
            QAccessibleTextInsertEvent insert(this, 0, shownText(0, count));
            QAccessible::updateAccessibility(&insert);
        }
    }
    // The caret moved with the inserted lines.
    const int caret = static_cast<int>(charOffset(lines_.caret()));
    if (caret != toldCaret_) {
        QAccessibleTextCursorEvent moved(this, caret);
        QAccessible::updateAccessibility(&moved);
    }
    toldCaret_ = caret;
}

void RecordView::select(size_t anchor, size_t caret) {
    lines_.select(anchor, caret);
    changed();
}

void RecordView::copy() const {
    if (lines_.hasSelection()) QApplication::clipboard()->setText(decodeBytes(selectedText()));
}

void RecordView::changed() {
    followCaret_ = true;
    if (!cadence_.isActive()) cadence_.start(CadenceMs, this);
}

void RecordView::layOut() {
    const QFontMetrics fm(font());
    const int lineHeight = std::max(1, fm.lineSpacing());
    const int rows = std::max(1, viewport()->height() / lineHeight);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, static_cast<int>(lines_.lineCount()) - rows));
    v->setPageStep(rows);
    v->setSingleStep(1);
    const int charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    const int width =
        static_cast<int>(std::min<size_t>(lines_.widest(), 1 << 20)) * charWidth + 2 * Margin;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(charWidth);
}

void RecordView::showCaret() {
    layOut();
    const QFontMetrics fm(font());
    const int rows = std::max(1, viewport()->height() / std::max(1, fm.lineSpacing()));
    QScrollBar* v = verticalScrollBar();
    const Pos caret = lines_.caret();
    const int line = static_cast<int>(caret.line);
    if (line < v->value())
        v->setValue(line);
    else if (line >= v->value() + rows)
        v->setValue(line - rows + 1);
    const int x =
        Margin + fm.horizontalAdvance(decodeBytes(lines_.line(caret.line).substr(0, caret.col)));
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value() + Margin)
        h->setValue(x - Margin);
    else if (x > h->value() + viewport()->width() - Margin)
        h->setValue(x - viewport()->width() + Margin);
}

void RecordView::restartBlink() {
    caretOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void RecordView::moveCaret(Pos to, bool extend) {
    const bool hadSelection = lines_.hasSelection();
    lines_.moveCaret(to, extend);
    showCaret();
    restartBlink();
    viewport()->update();
    if (!QAccessible::isActive()) return;
    toldCaret_ = static_cast<int>(charOffset(lines_.caret()));
    QAccessibleTextCursorEvent caret(this, toldCaret_);
    QAccessible::updateAccessibility(&caret);
    if (hadSelection || lines_.hasSelection()) {
        QAccessibleTextSelectionEvent selection(this, static_cast<int>(charOffset(lines_.start())),
                                                static_cast<int>(charOffset(lines_.end())));
        QAccessible::updateAccessibility(&selection);
    }
}

void RecordView::timerEvent(QTimerEvent* e) {
    if (e->timerId() == cadence_.timerId()) {
        cadence_.stop();
        if (followCaret_) showCaret();  // scrolling moves what is shown already
        followCaret_ = false;
        layOut();
        const int lineHeight = std::max(1, QFontMetrics(font()).lineSpacing());
        const long first = static_cast<long>(lines_.changedFrom()) - verticalScrollBar()->value();
        const int y =
            static_cast<int>(std::clamp<long>(first * lineHeight, 0, viewport()->height()));
        viewport()->update(0, y, viewport()->width(), viewport()->height() - y);
        lines_.shown();
        tellTextChanges();
    } else if (e->timerId() == tell_.timerId()) {
        tellTextChanges();
    } else if (e->timerId() == blink_.timerId()) {
        caretOn_ = !caretOn_;
        viewport()->update();
    } else {
        QAbstractScrollArea::timerEvent(e);
    }
}

void RecordView::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    const QFontMetrics fm(font());
    const int lineHeight = std::max(1, fm.lineSpacing());
    const int left = Margin - horizontalScrollBar()->value();
    const size_t first = static_cast<size_t>(verticalScrollBar()->value());
    const Pos a = lines_.start(), b = lines_.end(), caret = lines_.caret();
    const QPalette& pal = palette();
    // Only the lines in the part to paint: after a scroll or an added line, a few.
    const QRect area = e->rect();
    for (size_t i = first + static_cast<size_t>(std::max(0, area.top()) / lineHeight);
         i < lines_.lineCount(); ++i) {
        const int y = static_cast<int>(i - first) * lineHeight;
        if (y > area.bottom()) break;
        const QString line = decodeBytes(lines_.line(i));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(left, y + fm.ascent(), line);
        if (a != b && a.line <= i && i <= b.line) {
            // The selected part, and a little of the line end when the selection goes on.
            const qsizetype from = i == a.line ? static_cast<qsizetype>(a.col) : 0;
            const qsizetype to = i == b.line ? static_cast<qsizetype>(b.col) : line.size();
            const QString part = line.mid(from, to - from);
            const int x = left + fm.horizontalAdvance(line.left(from));
            const int w = fm.horizontalAdvance(part) + (i < b.line ? fm.averageCharWidth() / 2 : 0);
            p.fillRect(x, y, w, lineHeight, pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(x, y + fm.ascent(), part);
        }
        if (i == caret.line && hasFocus() && caretOn_) {
            const int x = left + fm.horizontalAdvance(line.left(static_cast<qsizetype>(caret.col)));
            p.fillRect(x, y, 1, lineHeight, pal.color(QPalette::Text));
        }
    }
}

void RecordView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    layOut();
}

void RecordView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) layOut();
}

void RecordView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy * std::max(1, QFontMetrics(font()).lineSpacing()));
}

void RecordView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    restartBlink();
    viewport()->update();
}

void RecordView::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    blink_.stop();
    viewport()->update();
}

RecordView::Pos RecordView::hit(QPoint pt, bool under) const {
    const QFontMetrics fm(font());
    const int row = pt.y() < 0 ? -1 : pt.y() / std::max(1, fm.lineSpacing());
    const long line = std::clamp<long>(verticalScrollBar()->value() + row, 0,
                                       static_cast<long>(lines_.lineCount()) - 1);
    const QString text = decodeBytes(lines_.line(static_cast<size_t>(line)));
    const int x = pt.x() + horizontalScrollBar()->value() - Margin;
    int at = 0;
    qsizetype col = 0;
    for (; col < text.size(); ++col) {
        const int w = fm.horizontalAdvance(text[col]);
        if (x < at + (under ? w : w / 2)) break;
        at += w;
    }
    return {static_cast<size_t>(line), static_cast<size_t>(col)};
}

void RecordView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    moveCaret(hit(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
}

void RecordView::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) moveCaret(hit(e->position().toPoint()), true);
}

void RecordView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    // The whole line: a record.
    const Pos at = hit(e->position().toPoint());
    lines_.moveCaret({at.line, 0}, false);
    moveCaret({at.line, lines_.line(at.line).size()}, true);
}

void RecordView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), [this] { copy(); });
    copyAction->setEnabled(lines_.hasSelection());
    QAction* all = menu.addAction(tr("Select All"), [this] {
        lines_.moveCaret({}, false);
        moveCaret(lines_.last(), true);
    });
    execMenu(menu, e->globalPos(), copyAction->isEnabled() ? copyAction : all);
}

void RecordView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        lines_.moveCaret({}, false);
        moveCaret(lines_.last(), true);
        return;
    }
    const QFontMetrics fm(font());
    const size_t page = std::max<size_t>(1, viewport()->height() / std::max(1, fm.lineSpacing()));
    const Pos c = lines_.caret();
    const Pos left = lines_.left(c), right = lines_.right(c);
    auto onLine = [&](size_t line) { return lines_.onLine(line, c.col); };
    const size_t last = lines_.lineCount() - 1;
    struct Move {
        QKeySequence::StandardKey move, select;
        Pos to;
    };
    const Move moves[] = {
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord,
         lines_.previousWord(c)},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, lines_.nextWord(c)},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, left},
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, right},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         onLine(c.line > 0 ? c.line - 1 : 0)},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine,
         onLine(std::min(last, c.line + 1))},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         onLine(c.line > page ? c.line - page : 0)},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage,
         onLine(std::min(last, c.line + page))},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, {c.line, 0}},
        {QKeySequence::MoveToEndOfLine,
         QKeySequence::SelectEndOfLine,
         {c.line, lines_.line(c.line).size()}},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, {}},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, lines_.last()},
    };
    for (const auto& m : moves) {
        if (e->matches(m.move) || e->matches(m.select)) {
            moveCaret(m.to, e->matches(m.select));
            return;
        }
    }
    e->ignore();  // locked against typing
}

}  // namespace platform::qt
