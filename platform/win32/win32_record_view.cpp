#include "platform/win32/win32_record_view.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/win32/byte_codec.h"
#include "platform/win32/win32_record_accessible.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

constexpr wchar_t ViewClass[] = L"VorbixLoaderRecordView";
constexpr UINT_PTR CadenceTimer = 1;
constexpr int Margin = 4;  // pixels left of the text, as a text box leaves

void registerClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once it knows its view
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = ViewClass;
    RegisterClassExW(&wc);
    done = true;
}

}  // namespace

RecordView::RecordView(HWND parent, int id, DWORD style) {
    registerClass();
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, ViewClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | style, 0, 0, 0, 0,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordView::proc));
    layOut();
}

RecordView::~RecordView() {
    if (!hwnd_) return;
    KillTimer(hwnd_, CadenceTimer);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
}

void RecordView::setText(std::string_view bytes) {
    lines_.setText(bytes);
    changed();
}

void RecordView::replaceSelection(std::string bytes) {
    lines_.replaceSelection(std::move(bytes));
    changed();
}

void RecordView::changed() {
    followCaret_ = true;
    valueChanged_ = true;
    pending_ = true;
    if (!cadence_ && hwnd_ && SetTimer(hwnd_, CadenceTimer, CadenceMs, nullptr))
        cadence_ = CadenceMs;
}

void RecordView::showChanges() {
    pending_ = false;
    // Lines already shown stay; scrolling moves them and the new ones are painted.
    streaming_ = cadence_ == StreamMs;
    if (!(std::exchange(followCaret_, false) && showCaret())) layOut();
    streaming_ = false;
    RECT r;
    GetClientRect(hwnd_, &r);
    const long from = static_cast<long>(lines_.changedFrom()) - top_;
    r.top = static_cast<LONG>(std::clamp<long>(from * lineHeight_, 0, r.bottom));
    if (r.top < r.bottom) InvalidateRect(hwnd_, &r, FALSE);
    lines_.shown();
    placeCaret();
    // Once per cadence, never per line; nearly free while no client listens.
    if (std::exchange(valueChanged_, false))
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

int RecordView::rows() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return std::max(1, static_cast<int>(r.bottom) / lineHeight_);
}

void RecordView::layOut() {
    RECT r;
    GetClientRect(hwnd_, &r);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMax = static_cast<int>(lines_.lineCount()) - 1;
    si.nPage = static_cast<UINT>(rows());
    top_ = std::clamp<long>(top_, 0, std::max<long>(0, si.nMax + 1 - static_cast<int>(si.nPage)));
    si.nPos = static_cast<int>(top_);
    setScroll(SB_VERT, si);
    const long width =
        static_cast<long>(std::min<size_t>(lines_.widest(), 1 << 20)) * charWidth_ + 2 * Margin;
    si.nMax = static_cast<int>(width) - 1;
    si.nPage = static_cast<UINT>(std::max<LONG>(1, r.right));
    x_ = std::clamp<long>(x_, 0, std::max<long>(0, width - r.right));
    si.nPos = static_cast<int>(x_);
    setScroll(SB_HORZ, si);
}

void RecordView::setScroll(int bar, const SCROLLINFO& si) {
    SCROLLINFO& last = bars_[bar];  // SB_HORZ or SB_VERT
    if (last.cbSize && last.nMax == si.nMax && last.nPage == si.nPage && last.nPos == si.nPos)
        return;  // a download's lines leave the horizontal bar as it was
    last = si;
    // Under Wine a bar's drawing costs more than a tick's lines: while they stream in, the
    // bars are drawn at most every BarsMs, and once more when the lines stop.
    const DWORD now = GetTickCount();
    const bool draw = !streaming_ || now - barsDrawn_ >= BarsMs;
    if (draw) barsDrawn_ = now;
    barsBehind_ = barsBehind_ || !draw;
    SetScrollInfo(hwnd_, bar, &si, draw);
}

bool RecordView::scrollTo(long top, long x) {
    RECT r;
    GetClientRect(hwnd_, &r);
    const long maxTop = std::max<long>(0, static_cast<long>(lines_.lineCount()) - rows());
    const long width =
        static_cast<long>(std::min<size_t>(lines_.widest(), 1 << 20)) * charWidth_ + 2 * Margin;
    top = std::clamp<long>(top, 0, maxTop);
    x = std::clamp<long>(x, 0, std::max<long>(0, width - r.right));
    if (top == top_ && x == x_) return false;
    const long dy = (top_ - top) * lineHeight_, dx = x_ - x;
    top_ = top;
    x_ = x;
    // What is shown already moves; only the uncovered strip is painted.
    if (std::labs(dy) < r.bottom && std::labs(dx) < r.right)
        ScrollWindowEx(hwnd_, static_cast<int>(dx), static_cast<int>(dy), nullptr, nullptr, nullptr,
                       nullptr, SW_INVALIDATE);
    else
        InvalidateRect(hwnd_, nullptr, TRUE);
    layOut();
    placeCaret();
    return true;
}

bool RecordView::showCaret() {
    const Pos c = lines_.caret();
    RECT r;
    GetClientRect(hwnd_, &r);
    long top = top_, x = x_;
    const long line = static_cast<long>(c.line);
    if (line < top)
        top = line;
    else if (line >= top + rows())
        top = line - rows() + 1;
    const long cx = Margin + static_cast<long>(c.col) * charWidth_;
    if (cx < x + Margin)
        x = cx - Margin;
    else if (cx > x + r.right - Margin)
        x = cx - r.right + Margin;
    return scrollTo(top, x);
}

void RecordView::placeCaret() {
    if (!focused_) return;
    const Pos c = lines_.caret();
    SetCaretPos(Margin + static_cast<int>(c.col) * charWidth_ - static_cast<int>(x_),
                static_cast<int>(static_cast<long>(c.line) - top_) * lineHeight_);
}

void RecordView::moveCaret(Pos to, bool extend) {
    const bool hadSelection = lines_.hasSelection();
    lines_.moveCaret(to, extend);
    showCaret();
    placeCaret();                          // the system caret tells screen readers where it is
    InvalidateRect(hwnd_, nullptr, TRUE);  // the selection's extent
    if (hadSelection || lines_.hasSelection())
        NotifyWinEvent(EVENT_OBJECT_TEXTSELECTIONCHANGED, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

RecordView::Pos RecordView::hit(LPARAM lp) const {
    const int px = static_cast<short>(LOWORD(lp)), py = static_cast<short>(HIWORD(lp));
    const long row = py < 0 ? -1 : py / lineHeight_;
    const size_t line = static_cast<size_t>(
        std::clamp<long>(top_ + row, 0, static_cast<long>(lines_.lineCount()) - 1));
    const long x = px + x_ - Margin + charWidth_ / 2;
    return lines_.onLine(line, static_cast<size_t>(std::max<long>(0, x / charWidth_)));
}

void RecordView::copy() {
    if (!lines_.hasSelection() || !OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    const std::wstring chars = recordChars(lines_.selectedText());
    const size_t size = (chars.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, size)) {
        if (void* p = GlobalLock(g)) {
            memcpy(p, chars.c_str(), size);
            GlobalUnlock(g);
            if (!SetClipboardData(CF_UNICODETEXT, g)) GlobalFree(g);
        } else {
            GlobalFree(g);
        }
    }
    CloseClipboard();
}

void RecordView::selectAll() {
    lines_.moveCaret({}, false);
    moveCaret(lines_.last(), true);
}

void RecordView::key(WPARAM vk) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    if (ctrl && (vk == 'C' || vk == VK_INSERT)) {
        copy();
        return;
    }
    if (ctrl && vk == 'A') {
        selectAll();
        return;
    }
    const Pos c = lines_.caret();
    const size_t page = static_cast<size_t>(rows());
    Pos to;
    switch (vk) {
        case VK_LEFT: to = ctrl ? lines_.previousWord(c) : lines_.left(c); break;
        case VK_RIGHT: to = ctrl ? lines_.nextWord(c) : lines_.right(c); break;
        case VK_UP: to = lines_.onLine(c.line > 0 ? c.line - 1 : 0, c.col); break;
        case VK_DOWN: to = lines_.onLine(c.line + 1, c.col); break;
        case VK_PRIOR: to = lines_.onLine(c.line > page ? c.line - page : 0, c.col); break;
        case VK_NEXT: to = lines_.onLine(c.line + page, c.col); break;
        case VK_HOME: to = ctrl ? Pos{} : Pos{c.line, 0}; break;
        case VK_END: to = ctrl ? lines_.last() : lines_.onLine(c.line, std::string::npos); break;
        default: return;  // locked against typing
    }
    moveCaret(to, shift);
}

// What a paint shares among its lines: the columns in view, each character on a cell of
// its own, and the colours.
struct RecordView::Grid {
    size_t firstCol, cols;
    LONG right;
    std::vector<INT> dx;
    COLORREF text, page, selText, sel;
};

void RecordView::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    RECT client;
    GetClientRect(hwnd_, &client);
    const size_t cols = static_cast<size_t>(client.right / charWidth_ + 2);
    const Grid grid{static_cast<size_t>(std::max<long>(0, x_ - Margin) / charWidth_),
                    cols,
                    client.right,
                    std::vector<INT>(cols, charWidth_),
                    GetSysColor(COLOR_WINDOWTEXT),
                    GetSysColor(COLOR_WINDOW),
                    GetSysColor(COLOR_HIGHLIGHTTEXT),
                    GetSysColor(COLOR_HIGHLIGHT)};
    // Only the lines in the part to paint.
    for (long row = std::max<long>(0, ps.rcPaint.top) / lineHeight_;; ++row) {
        const long y = row * lineHeight_;
        if (y >= ps.rcPaint.bottom) break;
        const size_t i = static_cast<size_t>(top_ + row);
        SetBkColor(dc, grid.page);
        if (i < lines_.lineCount()) {
            paintLine(dc, grid, i, static_cast<LONG>(y));
            continue;
        }
        RECT band{ps.rcPaint.left, static_cast<LONG>(y), ps.rcPaint.right,
                  static_cast<LONG>(y + lineHeight_)};
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
    }
    if (oldFont) SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
}

void RecordView::paintLine(HDC dc, const Grid& g, size_t i, LONG y) {
    const std::string_view line = lines_.line(i);
    // The selected columns, and a little of the line end when the selection goes on.
    const Pos a = lines_.start(), b = lines_.end();
    size_t from = 0, to = 0;
    if (a != b && a.line <= i && i <= b.line) {
        from = i == a.line ? a.col : 0;
        to = i == b.line ? b.col : line.size() + 1;
    }
    // Before the selection, the selection, after it: each fills its cells edge to edge.
    auto colX = [&](size_t col) {
        const long x = Margin + static_cast<long>(std::min(col, g.firstCol + g.cols)) * charWidth_;
        return static_cast<LONG>(std::clamp<long>(x - x_, 0, g.right));
    };
    const size_t bounds[] = {0, from, to, std::string::npos};
    std::wstring shown;
    for (int part = 0; part < 3; ++part) {
        RECT cell{part == 0 ? 0 : colX(bounds[part]), y,
                  part == 2 ? g.right : colX(bounds[part + 1]), y + lineHeight_};
        if (cell.left >= cell.right) continue;
        shown.clear();
        const size_t s0 = std::max(bounds[part], g.firstCol);
        const size_t s1 = std::min({bounds[part + 1], g.firstCol + g.cols, line.size()});
        for (size_t k = s0; k < s1; ++k) shown += recordChar(static_cast<unsigned char>(line[k]));
        const long left = Margin + static_cast<long>(s0) * charWidth_ - x_;
        SetBkColor(dc, part == 1 ? g.sel : g.page);
        SetTextColor(dc, part == 1 ? g.selText : g.text);
        ExtTextOutW(dc, static_cast<int>(left), static_cast<int>(y), ETO_OPAQUE | ETO_CLIPPED,
                    &cell, shown.c_str(), static_cast<UINT>(shown.size()), g.dx.data());
    }
}

LRESULT CALLBACK RecordView::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* view = reinterpret_cast<RecordView*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    return view ? view->handle(msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT RecordView::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: paint(); return 0;
        case WM_ERASEBKGND: return 1;  // every pixel is painted
        case WM_SETFONT: setFont(reinterpret_cast<HFONT>(wp), LOWORD(lp)); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
        // The records as shown, for screen readers and automation: one character a byte.
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(lines_.size());
        case WM_GETTEXT: return copyText(reinterpret_cast<wchar_t*>(lp), wp);
        case WM_GETOBJECT:
            if (static_cast<LONG>(lp) == OBJID_CLIENT) return answerRecordAccessible(hwnd_, wp);
            break;
        case WM_SIZE: resized(); return 0;
        case WM_TIMER:
            if (wp != CadenceTimer) break;
            tick();
            return 0;
        case WM_VSCROLL: scrollBar(SB_VERT, LOWORD(wp)); return 0;
        case WM_HSCROLL: scrollBar(SB_HORZ, LOWORD(wp)); return 0;
        case WM_MOUSEWHEEL: wheel(GET_WHEEL_DELTA_WPARAM(wp)); return 0;
        case WM_SETFOCUS: focus(true); return 0;
        case WM_KILLFOCUS: focus(false); return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: key(wp); return 0;
        case WM_CHAR: return 0;  // locked against typing
        case WM_LBUTTONDOWN:
            SetFocus(hwnd_);
            SetCapture(hwnd_);
            moveCaret(hit(lp), (wp & MK_SHIFT) != 0);
            return 0;
        case WM_MOUSEMOVE:
            if ((wp & MK_LBUTTON) && GetCapture() == hwnd_) moveCaret(hit(lp), true);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == hwnd_) ReleaseCapture();
            return 0;
        case WM_LBUTTONDBLCLK: selectLine(hit(lp).line); return 0;
        case WM_CONTEXTMENU: contextMenu(lp); return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void RecordView::setFont(HFONT font, bool redraw) {
    font_ = font;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(SYSTEM_FIXED_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE zero{};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    lineHeight_ = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
    charWidth_ = std::max<int>(1, zero.cx);
    if (focused_) {
        CreateCaret(hwnd_, nullptr, 1, lineHeight_);
        ShowCaret(hwnd_);
    }
    layOut();
    placeCaret();
    if (redraw) InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT RecordView::copyText(wchar_t* out, WPARAM room) const {
    if (room == 0) return 0;
    const std::wstring all = recordChars(lines_.text());
    const size_t n = std::min<size_t>(all.size(), room - 1);
    std::copy_n(all.data(), n, out);
    out[n] = L'\0';
    return static_cast<LRESULT>(n);
}

void RecordView::resized() {
    layOut();
    placeCaret();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void RecordView::tick() {
    if (!pending_) {  // the changes have stopped, and so does the tick
        KillTimer(hwnd_, CadenceTimer);
        cadence_ = 0;
        if (std::exchange(barsBehind_, false))
            for (int bar : {SB_HORZ, SB_VERT}) SetScrollInfo(hwnd_, bar, &bars_[bar], TRUE);
        return;
    }
    // They keep coming: the tick stays, at the slower pace.
    if (cadence_ != StreamMs && SetTimer(hwnd_, CadenceTimer, StreamMs, nullptr))
        cadence_ = StreamMs;
    showChanges();
}

void RecordView::scrollBar(int bar, WORD request) {
    const bool vert = bar == SB_VERT;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd_, bar, &si);
    const long line = vert ? 1 : charWidth_, page = static_cast<long>(si.nPage);
    long pos = vert ? top_ : x_;
    switch (request) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: return;
    }
    if (vert)
        scrollTo(pos, x_);
    else
        scrollTo(top_, pos);
}

void RecordView::wheel(int delta) {
    UINT perNotch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    const long lines = perNotch == WHEEL_PAGESCROLL ? rows() : std::min(perNotch, 100u);
    // Touchpads and smooth wheels send parts of a notch: added up to whole lines, the
    // rest kept for the next, unless the direction turns.
    if ((wheelRest_ < 0) != (delta < 0)) wheelRest_ = 0;
    wheelRest_ += static_cast<long>(delta) * lines;
    const long whole = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= whole * WHEEL_DELTA;
    if (whole) scrollTo(top_ - whole, x_);
}

void RecordView::focus(bool on) {
    focused_ = on;
    if (!on) {
        DestroyCaret();
        return;
    }
    CreateCaret(hwnd_, nullptr, 1, lineHeight_);
    placeCaret();
    ShowCaret(hwnd_);
}

void RecordView::selectLine(size_t line) {
    // The whole line: a record.
    lines_.moveCaret({line, 0}, false);
    moveCaret({line, lines_.line(line).size()}, true);
}

void RecordView::contextMenu(LPARAM lp) {
    enum { CopyItem = 1, SelectAllItem };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, lines_.hasSelection() ? MF_STRING : MF_STRING | MF_GRAYED, CopyItem,
                L"&Copy");
    AppendMenuW(menu, MF_STRING, SelectAllItem, L"Select &All");
    POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the caret
        GetCaretPos(&at);
        ClientToScreen(hwnd_, &at);
    }
    const int item =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    DestroyMenu(menu);
    if (item == CopyItem) copy();
    if (item == SelectAllItem) selectAll();
}

}  // namespace platform::win32
