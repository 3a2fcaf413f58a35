#include "port_settings/port_setei.h"

#include "main_window/vorbix_loader.h"
#include "platform/error.h"
#include "platform/serial_device.h"

using platform::control;
using platform::Kind;

namespace {
std::string portCaption(int port) {
    return port < 10 ? "com " + std::to_string(port) : "com" + std::to_string(port);
}
}  // namespace

const platform::FormTable& port_setei::formTable() {
    static const platform::FormTable table = [] {
        platform::FormTable s;
        s.caption = "PORT SET";
        s.clientWidth = 3360;
        s.clientHeight = 2850;
        s.font = "Courier New";
        s.fontPoints = 9;
        s.controls.push_back(control("Frame1", Kind::Frame, "PORT", {120, 120, 3135, 2175}));
        for (int i = 0; i < PortCount; ++i) {
            const int left[] = {240, 1200, 2160};
            const int top[] = {240, 600, 960, 1320};
            auto c = control("com_no", Kind::OptionButton, portCaption(i + 1),
                             {left[i % 3], top[i / 3], 855, 255}, i);
            c.index = i;
            c.parent = "Frame1";
            s.controls.push_back(std::move(c));
        }
        auto label = control("Label1", Kind::Label, "BPS", {1440, 1800, 495, 255});
        label.parent = "Frame1";
        label.fontPoints = 9.75;
        s.controls.push_back(std::move(label));
        auto combo = control("Combo1", Kind::ComboBox, "9600", {2040, 1680, 975, 345}, PortCount);
        combo.parent = "Frame1";
        combo.items = {"9600", "19200", "38400", "57600"};
        s.controls.push_back(std::move(combo));
        s.controls.push_back(
            control("ok_bot", Kind::CommandButton, "OK", {120, 2400, 975, 375}, PortCount + 1));
        return s;
    }();
    return table;
}

port_setei::port_setei(platform::Ui& ui, VorbixLoader& main)
    : main_(main),
      form_(ui.createForm(formTable())),
      Combo1(form_->combo("Combo1")),
      ok_bot(form_->button("ok_bot")) {
    for (int i = 0; i < PortCount; ++i) {
        auto& b = form_->option("com_no", i);
        showDevice(i);
        b.onClick = [this, i] { com_no_Click(i); };
        b.onContextMenu = [this, i] { com_no_ContextMenu(i); };
    }
    Combo1.onClick = [this] { Combo1_Click(); };
    ok_bot.onClick = [this] { ok_bot_Click(); };
    // The close box hands nothing back.
    form_->onUnload = [] {};
}

void port_setei::Form_Load() {
    // A hand-made file may hold a port no button stands for; show none chosen rather
    // than fail, and "OK" keeps the number.
    if (main_.PORT_NO >= 1 && main_.PORT_NO <= PortCount)
        form_->option("com_no", main_.PORT_NO - 1).setValue(true);
    SelPort = main_.PORT_NO;
    SelBps = main_.BPS_;
    Combo1.setText(SelBps);
}

void port_setei::com_no_Click(int Index) {
    SelPort = static_cast<int16_t>(Index + 1);
}

void port_setei::com_no_ContextMenu(int Index) {
    const auto n = static_cast<int16_t>(Index + 1);
    const platform::DeviceMenu menu = platform::deviceMenu(n, main_.deviceRoot);
    if (menu.items.empty()) return;
    auto& b = form_->option("com_no", Index);
    const int chosen = b.popupMenu(menu.items, menu.checked);
    if (chosen < 0) return;
    try {
        menu.choose(static_cast<size_t>(chosen));
    } catch (const platform::RuntimeError& e) {
        main_.msgBox(e.description(), platform::Icon::Critical);
        return;
    }
    // Choosing a device for a port is choosing that port.
    b.setValue(true);
    com_no_Click(Index);
    showDevice(Index);
}

void port_setei::showDevice(int Index) {
    // Tells the operator which device each number stands for on this machine.
    form_->option("com_no", Index)
        .setToolTip(platform::describeSerialPort(static_cast<int16_t>(Index + 1)));
}

void port_setei::Combo1_Click() {
    SelBps = Combo1.text();
}

void port_setei::ok_bot_Click() {
    main_.BPS_ = SelBps;
    main_.PORT_NO = SelPort;
    form_->unload();
}
