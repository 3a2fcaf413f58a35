// The record view as screen readers see it through MSAA (and UI Automation's bridge to it).
#pragma once

#include <windows.h>

namespace platform::win32 {

// The answer to WM_GETOBJECT for OBJID_CLIENT: a read-only, focusable text whose value is
// the window's text (WM_GETTEXT); the rest as the system's standard object has it.
LRESULT answerRecordAccessible(HWND view, WPARAM wp);

}  // namespace platform::win32
