#include "platform/win32/win32_ui.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

#include "platform/fatal.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// The program's one UI, for the controls and the port, which know none.
Win32Ui* g_ui = nullptr;

// The visible, enabled window of ours in front, which owns the boxes shown next.
HWND frontWindow() {
    HWND w = GetActiveWindow();
    return w && IsWindowVisible(w) && IsWindowEnabled(w) ? w : nullptr;
}

}  // namespace

bool eventsStopped() {
    return g_ui && g_ui->stopped_;
}

void Win32Ui::endRequested() {
    if (onEndRequest && !stopped_) runHandler(onEndRequest);
}

bool Win32Ui::pumpUntil(const bool& done) {
    MSG m;
    while (!done && !ended_) {
        if (!GetMessageW(&m, nullptr, 0, 0)) {
            ended_ = true;
            exitCode_ = static_cast<int>(m.wParam);
            break;
        }
        // Tab, arrows, Alt+keys; other messages need no look at the window's root.
        const bool key = m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST;
        HWND top = key && m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
        if (top && IsDialogMessageW(top, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return !ended_;
}

void startUp() {
    // A single-threaded apartment: a screen reader's calls on the record text's object
    // (LresultFromObject) are marshalled by COM to this, the window thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Per monitor where the system has it (Windows 10), else system-wide; looked up at
    // run time so the program still starts on systems without either call.
    HMODULE user = GetModuleHandleW(L"user32.dll");
    using Context = BOOL(WINAPI*)(HANDLE);
    if (auto set = reinterpret_cast<Context>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext"))))
        if (set(reinterpret_cast<HANDLE>(-4)))  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
            return;
    using Aware = BOOL(WINAPI*)();
    if (auto set = reinterpret_cast<Aware>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDPIAware"))))
        set();
}

Win32Ui::Win32Ui(std::string title, const FileSystem& fileSystem)
    : title_(std::move(title)), fileSystem_(fileSystem) {
    g_ui = this;
}

Win32Ui::~Win32Ui() {
    if (g_ui == this) g_ui = nullptr;
}

Answer Win32Ui::msgBox(const std::string& text, Icon icon, Buttons buttons) {
    UINT type = buttons == Buttons::YesNo             ? MB_YESNO | MB_DEFBUTTON2
                : buttons == Buttons::YesNoDefaultYes ? MB_YESNO | MB_DEFBUTTON1
                                                      : MB_OK;
    if (icon == Icon::Critical) type |= MB_ICONERROR;
    if (icon == Icon::Exclamation) type |= MB_ICONEXCLAMATION;
    if (icon == Icon::Question) type |= MB_ICONQUESTION;
    HWND owner = frontWindow();
    if (!owner) type |= MB_TASKMODAL;
    const HWND focus = GetFocus();  // the window gets it back, not itself only
    const int r = MessageBoxW(owner, widen(text).c_str(), widen(title_).c_str(), type);
    if (IsWindow(focus)) SetFocus(focus);
    if (buttons == Buttons::Ok) return Answer::Ok;
    return r == IDYES ? Answer::Yes : Answer::No;
}

void Win32Ui::endProgram() {
    PostQuitMessage(0);
}

void Win32Ui::reportError(int number, const std::string& description) {
    stopped_ = true;
    const std::string text = "Run-time error '" + std::to_string(number) + "':\n\n" + description;
    HWND owner = frontWindow();
    MessageBoxW(owner, widen(text).c_str(), widen(title_).c_str(),
                MB_OK | MB_ICONERROR | (owner ? 0 : MB_TASKMODAL));
}

int Win32Ui::run() {
    const bool never = false;
    pumpUntil(never);
    return exitCode_;
}

}  // namespace platform::win32
