// The Windows main window as real windows, under Wine on a display (window_tests.sh):
// where the focus goes while a download's controls are disabled, and a move to a monitor
// of another DPI.
#include <gtest/gtest.h>
#include <windows.h>

#include "main_window/vorbix_loader.h"
#include "platform/win32/win32_ui.h"

namespace {

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

struct Win32MainWindow : ::testing::Test {
    platform::win32::Win32Ui ui{"VorbixLoader", platform::systemFileSystem()};
    std::unique_ptr<platform::Form> form = ui.createForm(VorbixLoader::formTable());
    HWND main = nullptr, downLoad = nullptr, records = nullptr;

    void SetUp() override {
        form->show();
        pump();
        main = FindWindowW(nullptr, L" VorbixLoader  ver 1.00");
        downLoad = FindWindowExW(main, nullptr, L"BUTTON", L"down load");
        records = FindWindowExW(main, nullptr, L"VorbixLoaderRecordView", nullptr);
        ASSERT_TRUE(main && downLoad && records);
    }
    // The five controls a download disables, in the program's order.
    void transferBusy(bool busy) {
        form->button("PORT_SET").setEnabled(!busy);
        form->checkBox("AND_CLR").setEnabled(!busy);
        for (const char* b : {"down_load", "FILE_SAVE", "FILE_LOAD"})
            form->button(b).setEnabled(!busy);
    }
};

TEST_F(Win32MainWindow, TheFocusWaitsInTheRecordsWhileTheControlsAreDisabled) {
    SetFocus(downLoad);
    transferBusy(true);
    pump();
    EXPECT_EQ(GetFocus(), records);  // Tab and the arrow keys go on working
    transferBusy(false);
    EXPECT_EQ(GetFocus(), downLoad);

    // Enabled again within the same handler (a download that cannot start).
    transferBusy(true);
    transferBusy(false);
    pump();
    EXPECT_EQ(GetFocus(), downLoad);
}

TEST_F(Win32MainWindow, AnotherMonitorsDpiTakesTheSuggestedRectangleAndScalesTheControls) {
    RECT suggested{40, 30, 40 + 1100, 30 + 760};
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, suggested.left);
    EXPECT_EQ(r.top, suggested.top);
    EXPECT_EQ(r.right, suggested.right);
    EXPECT_EQ(r.bottom, suggested.bottom);
    GetWindowRect(records, &r);
    EXPECT_EQ(r.right - r.left, 1010);  // 10095 twips at 144 DPI
}

}  // namespace
