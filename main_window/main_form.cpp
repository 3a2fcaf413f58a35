#include "main_window/main_form.h"

#include "main_window/vorbix_loader.h"

using platform::control;
using platform::Kind;

const platform::FormTable& mainFormTable() {
    static const platform::FormTable table = [] {
        platform::FormTable s;
        s.caption = " VorbixLoader  ver 1.00";
        s.clientWidth = 10365;
        s.clientHeight = 6465;
        s.font = "Courier New";
        s.fontPoints = 9;
        s.controls = {
            control("down_load", Kind::CommandButton, "down load", {120, 120, 1335, 495}, 1),
            control("AND_CLR", Kind::CheckBox, "Lap all clr", {1800, 240, 1455, 255}, 4),
            control("FILE_SAVE", Kind::CommandButton, "file save", {4920, 120, 1215, 375}, 6),
            control("FILE_LOAD", Kind::CommandButton, "file load", {6120, 120, 1215, 375}, 5),
            control("PORT_SET", Kind::CommandButton, "PORT", {8160, 120, 855, 375}, 2),
            control("PORT_BPS", Kind::Label, "BPS", {9120, 240, 975, 255}, 3),
            control("Text1", Kind::RecordText, "", {120, 720, 10095, 5655}, 0),
            control("Timer1", Kind::Timer, "", {}),
        };
        s.controls.back().interval = VorbixLoader::WatchdogTickMs;
        return s;
    }();
    return table;
}
