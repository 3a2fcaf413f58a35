// The record text's widget. It shows the record lines (platform/record_lines.h) and paints
// only the lines in view, one character per byte through the byte codec, so a day's
// records cost little more than their bytes and a file of them shows at once (a rich text
// widget would keep a text block and its layout, several hundred bytes, per line).
// Locked against typing; the operator places the caret, selects, copies and scrolls.
// Screen readers read it through record_view_accessible.cpp.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QString>
#include <string>
#include <string_view>

#include "platform/record_lines.h"

namespace platform::qt {

class RecordView : public QAbstractScrollArea {
  public:
    // Changes from the program are shown at most this often: a download inserting line
    // after line never waits for a repaint per line.
    static constexpr int CadenceMs = 20;
    // Lines a download adds are told to a screen reader in groups this far apart: it
    // speaks each insertion it is told of, cutting short the one before.
    static constexpr int TellMs = 2000;

    explicit RecordView(QWidget* parent = nullptr);

    std::string text() const { return lines_.text(); }
    void setText(std::string_view bytes);  // the caret goes to the start
    // Replaces the selection, or inserts at the caret; the caret ends after the bytes.
    void replaceSelection(std::string bytes);
    // Positions are byte offsets into text(); one inside a CR LF moves past it.
    void select(size_t anchor, size_t caret);
    std::string selectedText() const { return lines_.selectedText(); }
    size_t lineCount() const { return lines_.lineCount(); }
    // Tells assistive technology the changes not told yet, before a box takes the focus.
    void tellChangesNow() { tellTextChanges(true); }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    friend class RecordViewAccessible;
    using Pos = RecordLines::Pos;

    // Offsets as assistive technology counts them: characters as shown, a line end one.
    size_t charCount() const;
    size_t charOffset(Pos p) const;
    Pos posAt(size_t offset) const;
    QString shownText(size_t from, size_t to) const;
    // A change of the text, told to assistive technology at the next cadence.
    void noteTextChange(bool appending);
    void tellTextChanges(bool now = false);

    // The caret position nearest to `p`, or (`under`) that of the character under it.
    Pos hit(QPoint p, bool under = false) const;
    // Moves the caret as the operator did; the selection follows unless `extend`.
    void moveCaret(Pos to, bool extend);
    void copy() const;
    void changed();  // by the program: shown at the next cadence
    void layOut();   // scroll bar ranges from the lines and the viewport
    void showCaret();
    void restartBlink();

    RecordLines lines_;
    bool followCaret_ = false;  // scroll the caret into view at the next cadence
    bool caretOn_ = true;       // blink phase
    QBasicTimer cadence_, blink_, tell_;
    QElapsedTimer told_;  // since changes were last told
    int toldCaret_ = 0;   // where the caret was told to be
    // Text changes not yet told to assistive technology; kept only while a client listens.
    // Appends since the last cadence started at `toldCount_`; else the text told before
    // (`toldText_`) was replaced as a whole.
    bool untold_ = false, appendedOnly_ = true;
    size_t toldCount_ = 0;
    QString toldText_;
};

}  // namespace platform::qt
