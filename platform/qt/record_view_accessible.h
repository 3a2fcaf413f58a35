// The record text as assistive technology (a screen reader through AT-SPI) sees it.
#pragma once

namespace platform::qt {

// Makes QAccessible build the record view's interface; once per process, at the first view.
void installRecordViewAccessible();

}  // namespace platform::qt
