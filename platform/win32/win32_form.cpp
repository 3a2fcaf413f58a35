// A window built from a FormTable, with its controls (win32_controls.h) as Win32 child
// windows. Controls inside a frame are the form's own children placed over the frame, so
// every notification reaches the one window procedure below.
#include <windows.h>
// These need windows.h first.
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "platform/error.h"
#include "platform/fatal.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

constexpr wchar_t FormClass[] = L"VorbixLoaderForm";
constexpr int FirstId = 100;  // clear of IDOK and IDCANCEL, which dialog keys send
constexpr UINT FocusMoveMsg = WM_APP + 3;

}  // namespace

class Win32Form : public Form {
  public:
    Win32Form(const FormTable& table, Win32Ui& ui);
    ~Win32Form() override;

    Button& button(const std::string& n) override { return find<ButtonControl>(n); }
    CheckBox& checkBox(const std::string& n) override { return find<CheckBoxControl>(n); }
    Label& label(const std::string& n) override { return find<LabelControl>(n); }
    TextBox& textBox(const std::string& n) override { return find<TextBox>(n); }
    OptionButton& option(const std::string& n, int i) override {
        if (groups_.count(n) && !controls_.count({n, i}))
            throw RuntimeError(err::NoSuchElement,
                               "Control array element '" + std::to_string(i) + "' doesn't exist");
        return find<OptionControl>(n, i);
    }
    ComboBox& combo(const std::string& n) override { return find<ComboControl>(n); }
    Timer& timer(const std::string& n) override { return find<TimerControl>(n); }
    DriveList& driveList(const std::string& n) override { return find<DriveListControl>(n); }
    DirList& dirList(const std::string& n) override { return find<DirListControl>(n); }
    FileList& fileList(const std::string& n) override { return find<FileListControl>(n); }

    void setCaption(const std::string& caption) override {
        caption_ = caption;
        SetWindowTextW(hwnd_, widen(caption).c_str());
    }
    std::string caption() const override { return caption_; }
    void setMousePointer(int pointer) override;
    int mousePointer() const override { return pointer_; }
    void show() override;
    void showModal() override;
    void unload() override;

  private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    // A row of the table as it is built: its control's id, and whether it starts a group
    // (of the arrow keys) and is a tab stop.
    struct Row {
        const ControlRow& c;
        int id;
        DWORD group, tab;
    };
    // What a row gives: the program's control (none for a frame) and its window (none for
    // a timer, which is invisible).
    struct Built {
        std::unique_ptr<Control> control;
        HWND w = nullptr;
    };
    void build();
    std::vector<const ControlRow*> tabOrder() const;
    HWND create(const Row& r, const wchar_t* cls, DWORD style, DWORD ex = 0);
    Built buildRow(const Row& r);
    Built buildCheckBox(const Row& r);
    Built buildLabel(const Row& r);
    Built buildRecordText(const Row& r);
    Built buildFrame(const Row& r);
    Built buildOption(const Row& r);
    Built buildCombo(const Row& r);
    Built buildTimer(const Row& r);
    Built buildDriveList(const Row& r);
    // Fonts and controls for `dpi`; the window takes `suggested` (WM_DPICHANGED's), else
    // the size its client area needs, where it is.
    void layout(UINT dpi, const RECT* suggested = nullptr);
    void focusLeft(HWND from);
    void focusMove();
    void focusBack(HWND to);
    void closedByOperator();

    template <class T>
    T& find(const std::string& name, int index = -1) {
        auto it = controls_.find({name, index});
        T* c = it == controls_.end() ? nullptr : dynamic_cast<T*>(it->second.get());
        if (!c) throw std::logic_error("the window has no such control: " + name);
        return *c;
    }

    FormTable table_;
    Win32Ui& ui_;
    const FileSystem& fileSystem_;  // what the drive, folder and file lists show
    std::string caption_;
    HWND hwnd_ = nullptr;
    HWND tips_ = nullptr;
    int pointer_ = PointerDefault;
    bool unloading_ = false;
    bool closed_ = false;  // a modal run ends
    bool shownOnce_ = false;
    UINT dpi_ = 96;
    std::vector<HFONT> fonts_;
    std::map<std::pair<std::string, int>, std::unique_ptr<Control>> controls_;
    std::map<int, Control*> byId_;
    std::vector<std::pair<const ControlRow*, HWND>> placed_;
    std::map<std::string, std::vector<OptionControl*>> groups_;
    HWND firstFocus_ = nullptr;
    // The disabled control the focus left, and the control holding it meanwhile.
    HWND focusOwner_ = nullptr, focusHolder_ = nullptr;
};

namespace {

void registerClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once it knows its form
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = FormClass;
    RegisterClassExW(&wc);
    done = true;
}

// A group box draws only its line and caption, and the form clips its children out of
// its own background: the frame's inside is painted here, in the colour the form gives
// its controls, around the controls placed over it, which paint their own.
LRESULT CALLBACK frameProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg != WM_ERASEBKGND) return DefSubclassProc(w, msg, wp, lp);
    HDC dc = reinterpret_cast<HDC>(wp);
    HWND form = GetParent(w);
    const int saved = SaveDC(dc);
    for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (c == w || !IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
        ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
    }
    RECT inside;
    GetClientRect(w, &inside);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(form, WM_CTLCOLORSTATIC, wp, reinterpret_cast<LPARAM>(w)));
    FillRect(dc, &inside, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    RestoreDC(dc, saved);
    return 1;
}

UINT dpiOf(HWND w) {
    using ForWindow = UINT(WINAPI*)(HWND);
    static auto forWindow = reinterpret_cast<ForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (forWindow && w) {
        const UINT d = forWindow(w);
        if (d) return d;
    }
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return d > 0 ? static_cast<UINT>(d) : 96;
}

// The frame around a client area at the window's own DPI; the plain call takes the
// system's, wrong on another monitor.
void adjustFrame(RECT& r, DWORD style, DWORD ex, UINT dpi) {
    using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!forDpi || !forDpi(&r, style, FALSE, ex, dpi)) AdjustWindowRectEx(&r, style, FALSE, ex);
}

}  // namespace

std::unique_ptr<Form> Win32Ui::createForm(const FormTable& table) {
    return std::make_unique<Win32Form>(table, *this);
}

Win32Form::Win32Form(const FormTable& table, Win32Ui& ui)
    : table_(table), ui_(ui), fileSystem_(ui.fileSystem()), caption_(table.caption) {
    registerClass();
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, FormClass, widen(caption_).c_str(),
                            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                            CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) throw lastError("cannot create the window");
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Form::proc));
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    build();
    layout(dpiOf(hwnd_));
}

Win32Form::~Win32Form() {
    if (pointer_ == PointerHourglass) SetThreadExecutionState(ES_CONTINUOUS);
    for (auto& [key, c] : controls_)
        if (auto* t = dynamic_cast<TimerControl*>(c.get())) KillTimer(hwnd_, t->id);
    controls_.clear();  // no handler of the program runs from here on
    byId_.clear();
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (HFONT f : fonts_) DeleteObject(f);
}

// Created in tab order, which is the order Tab moves in; frames first, beneath the
// controls placed over them, and controls that are no tab stop last.
std::vector<const ControlRow*> Win32Form::tabOrder() const {
    std::vector<const ControlRow*> order;
    for (const auto& c : table_.controls)
        if (c.kind == Kind::Frame) order.push_back(&c);
    std::vector<const ControlRow*> rest;
    for (const auto& c : table_.controls)
        if (c.kind != Kind::Frame) rest.push_back(&c);
    std::stable_sort(rest.begin(), rest.end(), [](const ControlRow* a, const ControlRow* b) {
        const int ta = a->tab < 0 ? 1 << 30 : a->tab, tb = b->tab < 0 ? 1 << 30 : b->tab;
        return ta < tb;
    });
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

void Win32Form::build() {
    int nextId = FirstId;
    std::set<std::string> arrays;  // option arrays whose first option is built
    for (const ControlRow* c : tabOrder()) {
        // Each control is a group of its own but an option array is one: the arrow keys move
        // among its options and go no further.
        const bool inGroup = c->kind == Kind::OptionButton && !arrays.insert(c->name).second;
        const Row row{*c, nextId++, inGroup ? 0u : WS_GROUP, c->tab >= 0 ? WS_TABSTOP : 0u};
        Built b = buildRow(row);
        if (c->kind != Kind::Timer) {  // invisible
            if (!b.w) throw lastError("cannot create the control " + c->name);
            placed_.emplace_back(c, b.w);
            if (c->tab >= 0 && !firstFocus_) firstFocus_ = b.w;  // the lowest tab stop
        }
        if (b.control) {
            b.control->hwnd = b.w;
            byId_[row.id] = b.control.get();
            controls_[{c->name, c->index}] = std::move(b.control);
        }
    }
    for (auto& [key, c] : controls_)
        if (auto* o = dynamic_cast<OptionControl*>(c.get()); o && !o->tip.empty())
            o->setToolTip(narrow(o->tip));
}

HWND Win32Form::create(const Row& r, const wchar_t* cls, DWORD style, DWORD ex) {
    return CreateWindowExW(ex, cls, widen(r.c.caption).c_str(),
                           WS_CHILD | WS_VISIBLE | r.group | style, 0, 0, 0, 0, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(r.id)),
                           GetModuleHandleW(nullptr), nullptr);
}

Win32Form::Built Win32Form::buildRow(const Row& r) {
    constexpr DWORD list = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
    switch (r.c.kind) {
        case Kind::CommandButton:
            return {std::make_unique<ButtonControl>(), create(r, L"BUTTON", BS_PUSHBUTTON | r.tab)};
        case Kind::CheckBox: return buildCheckBox(r);
        case Kind::Label: return buildLabel(r);
        case Kind::TextBox:
            return {std::make_unique<LineTextControl>(),
                    create(r, L"EDIT", ES_AUTOHSCROLL | r.tab, WS_EX_CLIENTEDGE)};
        case Kind::RecordText: return buildRecordText(r);
        case Kind::Frame: return buildFrame(r);
        case Kind::OptionButton: return buildOption(r);
        case Kind::ComboBox: return buildCombo(r);
        case Kind::Timer: return buildTimer(r);
        case Kind::DriveList: return buildDriveList(r);
        case Kind::DirList:
            return {std::make_unique<DirListControl>(fileSystem_),
                    create(r, L"LISTBOX", list | r.tab, WS_EX_CLIENTEDGE)};
        case Kind::FileList:
            return {std::make_unique<FileListControl>(fileSystem_),
                    create(r, L"LISTBOX", list | r.tab, WS_EX_CLIENTEDGE)};
    }
    throw std::logic_error("a control of no known kind: " + r.c.name);
}

Win32Form::Built Win32Form::buildCheckBox(const Row& r) {
    HWND w = create(r, L"BUTTON", BS_AUTOCHECKBOX | r.tab);
    SendMessageW(w, BM_SETCHECK, r.c.value ? BST_CHECKED : 0, 0);
    return {std::make_unique<CheckBoxControl>(), w};
}

Win32Form::Built Win32Form::buildLabel(const Row& r) {
    auto label = std::make_unique<LabelControl>();
    label->text = r.c.caption;
    return {std::move(label), create(r, L"STATIC", SS_LEFT | SS_NOPREFIX)};
}

Win32Form::Built Win32Form::buildRecordText(const Row& r) {
    auto text = std::make_unique<RecordTextControl>();
    text->view = std::make_unique<RecordView>(hwnd_, r.id, r.tab | r.group);
    HWND w = text->view->hwnd();
    if (!r.c.caption.empty()) text->view->setText(r.c.caption);
    return {std::move(text), w};
}

Win32Form::Built Win32Form::buildFrame(const Row& r) {
    HWND w = create(r, L"BUTTON", BS_GROUPBOX);
    if (w) SetWindowSubclass(w, frameProc, 0, 0);
    return {nullptr, w};
}

Win32Form::Built Win32Form::buildOption(const Row& r) {
    auto option = std::make_unique<OptionControl>();
    option->group = &groups_[r.c.name];
    option->tips = tips_;
    // The array is one tab stop, at its chosen option (OptionControl::setValue).
    HWND w = create(r, L"BUTTON", BS_RADIOBUTTON | BS_NOTIFY | (r.group ? r.tab : 0));
    option->group->push_back(option.get());
    return {std::move(option), w};
}

Win32Form::Built Win32Form::buildCombo(const Row& r) {
    auto combo = std::make_unique<ComboControl>();
    HWND w = create(r, L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | r.tab);
    for (const auto& item : r.c.items)
        SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
    combo->hwnd = w;
    combo->setText(r.c.caption);
    return {std::move(combo), w};
}

Win32Form::Built Win32Form::buildTimer(const Row& r) {
    auto timer = std::make_unique<TimerControl>();
    timer->owner = hwnd_;
    timer->id = static_cast<UINT_PTR>(r.id);
    timer->interval = r.c.interval;
    return {std::move(timer), nullptr};
}

Win32Form::Built Win32Form::buildDriveList(const Row& r) {
    auto drives = std::make_unique<DriveListControl>(fileSystem_);
    HWND w = create(r, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | r.tab);
    drives->hwnd = w;
    drives->fill();
    return {std::move(drives), w};
}

void Win32Form::layout(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    auto px = [dpi](double twips) {
        return static_cast<int>(std::lround(twips / TwipsPerPixel * dpi / 96.0));
    };
    auto font = [&](double points, bool fixed) {
        NONCLIENTMETRICSW m{};
        m.cbSize = sizeof m;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
        LOGFONTW lf = m.lfMessageFont;
        if (points > 0) lf.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
        if (fixed) {
            std::wstring face = widen(table_.font);
            lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
            lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        }
        HFONT f = CreateFontIndirectW(&lf);
        fonts_.push_back(f);
        return f;
    };
    std::vector<HFONT> old;
    old.swap(fonts_);
    HFONT formFont = font(table_.fontPoints, !table_.font.empty());
    std::map<std::string, Rect> frames;
    for (const auto& c : table_.controls)
        if (c.kind == Kind::Frame) frames[c.name] = c.rect;
    for (const auto& [c, w] : placed_) {
        Rect r = c->rect;
        if (!c->parent.empty()) {
            r.left += frames[c->parent].left;
            r.top += frames[c->parent].top;
        }
        int height = px(r.height);
        if (c->kind == Kind::ComboBox || c->kind == Kind::DriveList)
            height += px(2400);  // its list
        MoveWindow(w, px(r.left), px(r.top), px(r.width), height, FALSE);
        SendMessageW(w, WM_SETFONT,
                     reinterpret_cast<WPARAM>(
                         c->fontPoints > 0 ? font(c->fontPoints, !table_.font.empty()) : formFont),
                     FALSE);
    }
    RECT frame{0, 0, px(table_.clientWidth), px(table_.clientHeight)};
    if (suggested)
        frame = *suggested;
    else
        adjustFrame(frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                    static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
    SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), FALSE);
    // The controls too: they were moved without redrawing.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    for (HFONT f : old) DeleteObject(f);
}

LRESULT CALLBACK Win32Form::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    return form ? form->handle(msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT Win32Form::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            auto it = byId_.find(LOWORD(wp));
            if (it != byId_.end() && reinterpret_cast<HWND>(lp)) it->second->command(HIWORD(wp));
            return 0;
        }
        case WM_TIMER: {
            auto it = byId_.find(static_cast<int>(wp));
            if (it != byId_.end())
                if (auto* t = dynamic_cast<TimerControl*>(it->second); t && t->on)
                    raiseEvent(t->onTimer);
            return 0;
        }
        case WM_SETCURSOR:
            if (pointer_ == PointerHourglass && LOWORD(lp) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            // In one move, as Windows suggests: a size taken first on the old monitor could
            // move the window's centre back across and bounce the DPI.
            layout(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        case FocusLeftMsg: focusLeft(reinterpret_cast<HWND>(lp)); return 0;
        case FocusMoveMsg: focusMove(); return 0;
        case FocusBackMsg: focusBack(reinterpret_cast<HWND>(lp)); return 0;
        case WM_CLOSE: closedByOperator(); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // Logging off or shutting down: the program's own shut-down, done before the
            // process may be ended after this message.
            if (wp) ui_.endRequested();
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void Win32Form::focusLeft(HWND from) {
    // A disabled control takes no keys, so Tab would do nothing. The move waits for the
    // other controls the handler disables (a download's five), then goes straight to the
    // next tab stop that stays enabled.
    focusOwner_ = from;
    focusHolder_ = nullptr;
    PostMessageW(hwnd_, FocusMoveMsg, 0, 0);
}

void Win32Form::focusMove() {
    if (!focusOwner_ || focusHolder_ || IsWindowEnabled(focusOwner_)) return;
    HWND now = GetFocus();
    HWND to = GetNextDlgTabItem(hwnd_, focusOwner_, FALSE);
    if ((now && now != focusOwner_) || !to || !IsWindowEnabled(to)) {
        focusOwner_ = nullptr;  // the operator has placed it, or there is nowhere to go
        return;
    }
    SetFocus(to);
    focusHolder_ = to;
}

void Win32Form::focusBack(HWND to) {
    // The control has the focus again unless the operator moved it meanwhile.
    if (to != focusOwner_) return;
    HWND now = GetFocus();
    if (focusHolder_ ? now == focusHolder_ : !now || now == to) SetFocus(to);
    focusOwner_ = focusHolder_ = nullptr;
}

void Win32Form::closedByOperator() {
    // The program's unload handler runs first; unloading by the program raises nothing.
    if (!unloading_) raiseEvent(onUnload);
    closed_ = true;
    if (hwnd_ && GetWindowLongPtrW(hwnd_, GWLP_USERDATA)) ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::setMousePointer(int pointer) {
    // The hourglass is a transfer: the machine stays awake until it ends, so a long
    // download is not cut by sleep (the process's end clears it too).
    if ((pointer == PointerHourglass) != (pointer_ == PointerHourglass))
        SetThreadExecutionState(pointer == PointerHourglass ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED
                                                            : ES_CONTINUOUS);
    pointer_ = pointer;
    POINT p;
    GetCursorPos(&p);
    HWND under = WindowFromPoint(p);
    if (under && (under == hwnd_ || IsChild(hwnd_, under)))
        SetCursor(LoadCursorW(nullptr, pointer == PointerHourglass ? IDC_WAIT : IDC_ARROW));
}

void Win32Form::show() {
    unloading_ = false;
    closed_ = false;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    // The first tab stop has the focus when the window first appears; an option array
    // takes it at its chosen option, its one tab stop.
    if (!shownOnce_ && firstFocus_) {
        HWND to = firstFocus_;
        auto it = byId_.find(GetDlgCtrlID(to));
        if (auto* o = it == byId_.end() ? nullptr : dynamic_cast<OptionControl*>(it->second))
            for (auto* b : *o->group)
                if (b->value()) to = b->hwnd;
        SetFocus(to);
    }
    shownOnce_ = true;
}

void Win32Form::showModal() {
    unloading_ = false;
    closed_ = false;
    // Owned by the window in front, kept in front of it and the only one taking input.
    HWND owner = GetActiveWindow();
    if (owner == hwnd_) owner = nullptr;
    const HWND focus = GetFocus();  // has it back when the dialog closes
    if (owner) {
        SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        RECT o, me;
        GetWindowRect(owner, &o);
        GetWindowRect(hwnd_, &me);
        SetWindowPos(hwnd_, nullptr, o.left + ((o.right - o.left) - (me.right - me.left)) / 2,
                     o.top + ((o.bottom - o.top) - (me.bottom - me.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EnableWindow(owner, FALSE);
    }
    show();
    ui_.pumpUntil(closed_);
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
        if (IsWindow(focus)) SetFocus(focus);
    }
    ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::unload() {
    unloading_ = true;
    closed_ = true;
    ShowWindow(hwnd_, SW_HIDE);
}

}  // namespace platform::win32
