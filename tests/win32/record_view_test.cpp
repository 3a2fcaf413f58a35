// The Windows record text: as a screen reader gets it, MSAA through AccessibleObjectFromWindow
// and the value-change events it raises while lines are added; and its wheel, where a
// touchpad's or smooth wheel's parts of a notch add up to whole lines, and a wheel set to
// scroll by pages scrolls by pages.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <string>

#include "platform/win32/win32_record_view.h"

namespace {

using platform::win32::RecordView;

int valueChanges = 0;
HWND watched = nullptr;

void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND w, LONG object, LONG child, DWORD, DWORD) {
    if (event == EVENT_OBJECT_VALUECHANGE && w == watched && object == OBJID_CLIENT &&
        child == CHILDID_SELF)
        ++valueChanges;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

struct Win32RecordView : ::testing::Test {
    RecordView view{HWND_MESSAGE, 1, WS_TABSTOP};
    IAccessible* acc = nullptr;
    VARIANT self{};

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
    }
    void TearDown() override {
        if (acc) acc->Release();
        CoUninitialize();
    }
    std::wstring value() {
        BSTR v = nullptr;
        EXPECT_EQ(acc->get_accValue(self, &v), S_OK);
        std::wstring out(v ? v : L"", v ? SysStringLen(v) : 0);
        SysFreeString(v);
        return out;
    }
};

TEST_F(Win32RecordView, AReadOnlyFocusableTextWhoseValueIsTheRecords) {
    view.setText("1 12.345\r\n2 \x01\xe9\r\n");
    ASSERT_EQ(AccessibleObjectFromWindow(view.hwnd(), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&acc)),
              S_OK);
    VARIANT v{};
    ASSERT_EQ(acc->get_accRole(self, &v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, ROLE_SYSTEM_TEXT);
    ASSERT_EQ(acc->get_accState(self, &v), S_OK);
    EXPECT_EQ(v.lVal & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE),
              STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE);
    BSTR name = nullptr;
    ASSERT_EQ(acc->get_accName(self, &name), S_OK);
    EXPECT_GT(SysStringLen(name), 0u);
    SysFreeString(name);
    EXPECT_EQ(value(), L"1 12.345\r\n2 \u2401\u00e9\r\n");
    EXPECT_NE(acc->put_accValue(self, nullptr), S_OK);  // locked against typing

    // One COM identity: what it hands out answers IUnknown with the one object, and the
    // standard object's other interfaces are not passed off as its own.
    IUnknown* unknown = nullptr;
    IOleWindow* window = nullptr;
    void* other = nullptr;
    ASSERT_EQ(acc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    ASSERT_EQ(acc->QueryInterface(__uuidof(IOleWindow), reinterpret_cast<void**>(&window)), S_OK);
    HWND w = nullptr;
    EXPECT_EQ(window->GetWindow(&w), S_OK);
    EXPECT_EQ(w, view.hwnd());
    IUnknown* again = nullptr;
    ASSERT_EQ(window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, unknown);
    EXPECT_EQ(acc->QueryInterface(__uuidof(IEnumVARIANT), &other), E_NOINTERFACE);
    for (IUnknown* u : {unknown, again, static_cast<IUnknown*>(window)}) u->Release();

    // The object follows the text it was got for.
    view.setText("");
    view.replaceSelection("3 01.000\r\n");
    EXPECT_EQ(value(), L"3 01.000\r\n");
}

TEST_F(Win32RecordView, WheelStepsAddUpToLinesOrPages) {
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += std::to_string(i) + "\r\n";
    view.setText(lines);
    MoveWindow(view.hwnd(), 0, 0, 300, 10 * 16, FALSE);
    auto wheel = [&](int delta) {
        SendMessageW(view.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
        return GetScrollPos(view.hwnd(), SB_VERT);
    };
    UINT saved = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &saved, 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
    // A notch in four parts: a line each once a third of a notch has come.
    for (int line : {0, 1, 2, 3}) EXPECT_EQ(wheel(-30), line);
    EXPECT_EQ(wheel(-WHEEL_DELTA), 6);
    EXPECT_EQ(wheel(30), 6);  // the way back starts afresh
    EXPECT_EQ(wheel(20), 5);

    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
    const int page = wheel(-WHEEL_DELTA) - 5;  // about the 10 lines in view
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, saved, nullptr, 0);
    EXPECT_GT(page, 1);
    EXPECT_LT(page, 20);
}

// A download adds lines faster than they are shown: screen readers hear of them (how
// often is a matter of speed), and once they stop coming the view has scrolled to the last.
TEST_F(Win32RecordView, TellsOfAddedLinesAndFollowsThemToTheEnd) {
    watched = view.hwnd();
    valueChanges = 0;
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, onEvent,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    constexpr int Lines = 2000;
    for (int i = 0; i < Lines; ++i) {
        view.replaceSelection("01.2" + std::to_string(i) + "\r\n");
        pump();  // as between two received bytes
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    auto atEnd = [&] {
        return GetScrollInfo(view.hwnd(), SB_VERT, &si) && si.nMax >= Lines &&
               si.nPos == si.nMax + 1 - static_cast<int>(si.nPage);
    };
    for (int i = 0; i < 100 && !atEnd(); ++i) {  // the ticks that show them, on a loaded machine
        Sleep(RecordView::StreamMs);
        pump();
    }
    UnhookWinEvent(hook);
    EXPECT_GE(valueChanges, 1);
    EXPECT_TRUE(atEnd()) << si.nMax << " " << si.nPos << " " << si.nPage;
    EXPECT_EQ(si.nMax, Lines);  // and the empty line after the last CR LF, where the caret is
}

}  // namespace
