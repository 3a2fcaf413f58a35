// The Windows record text's wheel: a touchpad's or smooth wheel's parts of a notch add up
// to whole lines, and a wheel set to scroll by pages scrolls by pages.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_record_view.h"

namespace {

using platform::win32::RecordView;

TEST(Win32RecordView, WheelStepsAddUpToLinesOrPages) {
    RecordView view{HWND_MESSAGE, 1, 0};
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
    EXPECT_EQ(wheel(-30), 0);
    EXPECT_EQ(wheel(-30), 1);
    EXPECT_EQ(wheel(-30), 2);
    EXPECT_EQ(wheel(-30), 3);
    EXPECT_EQ(wheel(-WHEEL_DELTA), 6);
    EXPECT_EQ(wheel(30), 6);  // the way back starts afresh
    EXPECT_EQ(wheel(20), 5);

    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
    const int page = wheel(-WHEEL_DELTA) - 5;  // about the 10 lines in view
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, saved, nullptr, 0);
    EXPECT_GT(page, 1);
    EXPECT_LT(page, 20);
}

}  // namespace
