// The record text's window on Win32: the record lines (platform/record_lines.h) drawn by
// us, only the lines in view, one character per byte on a fixed grid. An added line costs
// its bytes, where a multi-line EDIT takes tens of milliseconds per line under Wine and
// would hold up a download. Locked against typing; the operator places the caret,
// selects, copies (Ctrl+C or its menu) and scrolls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/record_lines.h"

namespace platform::win32 {

class RecordView {
  public:
    // Changes from the program are shown at most this often: a download inserting line
    // after line never waits for a repaint per line. A change after a quiet spell shows
    // after CadenceMs; while changes keep coming, every StreamMs, as a paint costs the
    // serial line's replies far more under Wine than lines can be read at that pace.
    static constexpr UINT CadenceMs = 20, StreamMs = 100, BarsMs = 500;

    RecordView(HWND parent, int id, DWORD style);
    ~RecordView();
    RecordView(const RecordView&) = delete;
    RecordView& operator=(const RecordView&) = delete;

    HWND hwnd() const { return hwnd_; }
    std::string text() const { return lines_.text(); }
    void setText(std::string_view bytes);  // the caret goes to the start
    // Replaces the selection, or inserts at the caret; the caret ends after the bytes.
    void replaceSelection(std::string bytes);

  private:
    using Pos = RecordLines::Pos;
    struct Grid;

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void paint();
    void paintLine(HDC dc, const Grid& g, size_t i, LONG y);
    // One for each message handle() passes on.
    void setFont(HFONT font, bool redraw);
    LRESULT copyText(wchar_t* out, WPARAM room) const;
    void resized();
    void tick();  // of the cadence
    void scrollBar(int bar, WORD request);
    void wheel(int delta);
    void focus(bool on);
    void selectLine(size_t line);
    void contextMenu(LPARAM lp);
    void changed();  // by the program: shown at the next cadence
    void layOut();   // scroll bar ranges from the lines and the window
    void setScroll(int bar, const SCROLLINFO& si);
    bool scrollTo(long top, long x);  // true when it moved (and laid out)
    bool showCaret();                 // scrolls the caret into view
    void showChanges();               // at a cadence tick
    void placeCaret();
    void moveCaret(Pos to, bool extend);  // as the operator did
    void selectAll();
    void key(WPARAM vk);
    void copy();
    Pos hit(LPARAM lp) const;
    int rows() const;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int lineHeight_ = 16, charWidth_ = 8;
    RecordLines lines_;
    long top_ = 0, x_ = 0;  // first line in view; pixels scrolled to the right
    long wheelRest_ = 0;    // of the wheel, in 1/WHEEL_DELTA lines
    UINT cadence_ = 0;      // the running tick's period, 0 while none runs
    bool pending_ = false, followCaret_ = false, focused_ = false;
    bool valueChanged_ = false;                    // told to screen readers at the next cadence
    bool streaming_ = false, barsBehind_ = false;  // a tick while lines stream; bars not drawn
    DWORD barsDrawn_ = 0;
    SCROLLINFO bars_[2]{};  // what the bars were last given: each setting redraws one
};

}  // namespace platform::win32
