#include <windows.h>
// These need windows.h first.
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/fatal.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

std::vector<std::string> sortedEntries(const FileSystem& fs, const std::string& folder,
                                       FileKind kind) {
    auto names = fs.list(folder, kind);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = lstrcmpiW(widen(a).c_str(), widen(b).c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace

void raiseEvent(const Handler& handler) {
    if (!handler || eventsStopped()) return;
    Handler copy = handler;  // the handler may replace itself
    runHandler(copy);
}

std::wstring windowText(HWND w) {
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), static_cast<int>(s.size()))));
    return s;
}

void ButtonControl::command(int code) {
    if (code == BN_CLICKED) raiseEvent(onClick);
}

int CheckBoxControl::value() const {
    return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CheckBoxControl::setValue(int v) {
    SendMessageW(hwnd, BM_SETCHECK, v ? BST_CHECKED : 0, 0);
}

void LabelControl::setCaption(const std::string& s) {
    text = s;
    SetWindowTextW(hwnd, widen(s).c_str());
}

std::string LineTextControl::text() const {
    return narrow(windowText(hwnd));
}

void LineTextControl::setText(const std::string& s) {
    SetWindowTextW(hwnd, widen(s).c_str());
    SendMessageW(hwnd, EM_SETSEL, 0, 0);
}

void LineTextControl::setSelText(std::string s) {
    SendMessageW(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(widen(s).c_str()));
}

void OptionControl::setValue(bool on) {
    // Tab enters the array at the chosen option, the arrow keys move on from there.
    auto tabStop = [](HWND w, bool stop) {
        const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
        SetWindowLongPtrW(w, GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    };
    const bool wasStop = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_TABSTOP) != 0;
    bool stops = wasStop;
    if (on)
        for (auto* b : *group) {
            if (b == this) continue;
            stops = stops || (GetWindowLongPtrW(b->hwnd, GWL_STYLE) & WS_TABSTOP);
            SendMessageW(b->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
            tabStop(b->hwnd, false);
        }
    SendMessageW(hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (on && stops) tabStop(hwnd, true);
}

bool OptionControl::value() const {
    return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OptionControl::setToolTip(const std::string& text) {
    tip = widen(text);
    if (!tips) return;
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;  // also understood without visual styles
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(hwnd);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd);
    info.lpszText = tip.data();
    SendMessageW(tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void OptionControl::command(int code) {
    // An arrow key moving the focus here chooses the option, as in every option group; the
    // dialog manager does that only for automatic radio buttons.
    const bool arrow = GetKeyState(VK_LEFT) < 0 || GetKeyState(VK_RIGHT) < 0 ||
                       GetKeyState(VK_UP) < 0 || GetKeyState(VK_DOWN) < 0;
    if (code == BN_SETFOCUS && arrow && !value()) code = BN_CLICKED;
    if (code != BN_CLICKED) return;
    setValue(true);
    raiseEvent(onClick);
}

std::string ComboControl::text() const {
    return narrow(windowText(hwnd));
}

void ComboControl::setText(const std::string& s) {
    const std::wstring t = widen(s);
    const LRESULT i = SendMessageW(hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(t.c_str()));
    SendMessageW(hwnd, CB_SETCURSEL, i == CB_ERR ? static_cast<WPARAM>(-1) : i, 0);
    SetWindowTextW(hwnd, t.c_str());
}

void ComboControl::command(int code) {
    if (code != CBN_SELCHANGE) return;
    // The edit part still shows the old text while the choice is announced.
    const LRESULT i = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return;
    std::wstring item(static_cast<size_t>(SendMessageW(hwnd, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(wcslen(item.c_str()));
    SetWindowTextW(hwnd, item.c_str());
    raiseEvent(onClick);
}

void TimerControl::setEnabled(bool v) {
    on = v;
    if (v && interval > 0)
        SetTimer(owner, id, static_cast<UINT>(interval), nullptr);
    else
        KillTimer(owner, id);
}

void DriveListControl::fill() {
    drives = fs.places();
    for (const auto& d : drives) {
        // "c:" as the classic drive list shows a drive.
        const std::string shown = d.size() == 3 && d[1] == ':' ? d.substr(0, 2) : d;
        SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(shown).c_str()));
    }
}

std::string DriveListControl::drive() const {
    const LRESULT i = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    return i == CB_ERR || static_cast<size_t>(i) >= drives.size() ? std::string() : drives[i];
}

void DriveListControl::setDrive(const std::string& place) {
    if (place == drive()) return;
    auto it = std::find_if(drives.begin(), drives.end(), [&](const std::string& d) {
        return lstrcmpiA(d.c_str(), place.c_str()) == 0;
    });
    if (it == drives.end()) {
        drives.push_back(place);  // appeared since the list was filled
        SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(place).c_str()));
        it = drives.end() - 1;
    }
    quiet = true;
    SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(it - drives.begin()), 0);
    quiet = false;
    // The program changed it: its handler runs inside the program's own call, so that an
    // error raised there reaches the caller.
    if (onChange) onChange();
}

void DriveListControl::command(int code) {
    if (code == CBN_SELCHANGE && !quiet) raiseEvent(onChange);
}

void DirListControl::setPath(const std::string& folder) {
    if (show(folder) && onChange) onChange();
}

bool DirListControl::show(const std::string& folder) {
    const std::string path = fs.absolute(folder);
    const auto subfolders = sortedEntries(fs, path, FileKind::Folder);
    std::vector<std::string> chain;
    for (std::string f = path; !f.empty(); f = fs.parent(f)) chain.insert(chain.begin(), f);
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd, LB_RESETCONTENT, 0, 0);
    rows.clear();
    auto add = [&](const std::string& full, const std::string& name, size_t depth) {
        rows.push_back(full);
        const std::wstring shown = std::wstring(depth * 2, L' ') + widen(name);
        SendMessageW(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    };
    for (size_t d = 0; d < chain.size(); ++d) {
        const std::string& f = chain[d];
        add(f, d == 0 ? f : f.substr(f.find_last_of('\\') + 1), d);
    }
    for (const auto& name : subfolders) add(joined(path, name), name, chain.size());
    SendMessageW(hwnd, LB_SETCURSEL, chain.size() - 1, 0);
    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
    const bool changed = path != current;
    current = path;
    return changed;
}

void DirListControl::command(int code) {
    // Double-click opens a folder, as in a classic folder list.
    if (code != LBN_DBLCLK) return;
    const LRESULT i = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR || static_cast<size_t>(i) >= rows.size()) return;
    try {
        if (!show(rows[i])) return;
    } catch (const RuntimeError&) {
        MessageBeep(MB_OK);  // unreadable: stay where we are
        return;
    }
    raiseEvent(onChange);
}

void FileListControl::setPattern(const std::string& p) {
    pattern = p;
    if (!current.empty()) refill(current);
}

void FileListControl::setPath(const std::string& folder) {
    refill(fs.absolute(folder));
}

void FileListControl::refill(const std::string& folder) {
    const auto files = sortedEntries(fs, folder, FileKind::File);
    const std::wstring mask = widen(pattern);
    quiet = true;
    SendMessageW(hwnd, LB_RESETCONTENT, 0, 0);
    names.clear();
    for (const auto& name : files) {
        const std::wstring w = widen(name);
        if (!PathMatchSpecW(w.c_str(), mask.c_str())) continue;
        names.push_back(name);
        SendMessageW(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }
    quiet = false;
    current = folder;
}

std::string FileListControl::fileName() const {
    const LRESULT i = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);
    return i == LB_ERR || static_cast<size_t>(i) >= names.size() ? std::string() : names[i];
}

void FileListControl::command(int code) {
    if (code == LBN_SELCHANGE && !quiet) raiseEvent(onClick);
}

}  // namespace platform::win32
