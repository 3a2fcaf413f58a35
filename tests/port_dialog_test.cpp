#include "platform/serial_device.h"
#include "port_settings/port_setei.h"
#include "tests/settings_fixture.h"

namespace {

using settings_test::closeBox;

struct PortDialog : settings_test::Program {
    // What the dialog showed when the operator first saw it.
    int shownPort = -2;  // index of the selected button, -1 none
    std::string shownBps;

    void SetUp() override {
        vl.PORT_NO = 5;
        vl.BPS_ = "19200";
        vl.OpenCommPort();
        comm.opens = 0;
        log.clear();
    }
    // Records the opening state, then plays the operator.
    void operate(std::function<void(fake::Form&)> play) {
        onDialog([this, play](fake::Form& f) {
            shownPort = -1;
            for (int i = 0; i < port_setei::PortCount; ++i)
                if (f.foption("com_no", i).value()) shownPort = i;
            shownBps = f.fcombo("Combo1").text();
            play(f);
        });
    }
    static void choosePort(fake::Form& f, int port) {
        auto& b = f.foption("com_no", port - 1);
        b.setValue(true);
        b.onClick();
    }
    static void ok(fake::Form& f) { f.fbutton("ok_bot").onClick(); }
};

TEST_F(PortDialog, OkAtOnceKeepsTheSettingsAndReopens) {
    operate(ok);
    vl.PORT_SET_Click();
    EXPECT_EQ(shownPort, 4);
    EXPECT_EQ(shownBps, "19200");
    EXPECT_EQ(vl.PORT_NO, 5);
    EXPECT_EQ(vl.BPS_, "19200");
    EXPECT_EQ(vl.SettingsChanged, -1);
    EXPECT_EQ(comm.opens, 1);
    EXPECT_EQ(comm.port, 5);
    EXPECT_EQ(comm.settings, "19200,n,8,1");
    // The dialog is gone before the link is reopened.
    const fake::Log start(log.begin(), log.begin() + 3);
    EXPECT_EQ(start, (fake::Log{"show PORT SET", "unload PORT SET", "PortOpen=false"}));
}

TEST_F(PortDialog, ChosenPortAndListSpeedAreTakenOnOk) {
    operate([](fake::Form& f) {
        choosePort(f, 12);
        f.fcombo("Combo1").choose("38400");
        ok(f);
    });
    vl.PORT_SET_Click();
    EXPECT_EQ(vl.PORT_NO, 12);
    EXPECT_EQ(vl.BPS_, "38400");
    EXPECT_EQ(comm.port, 12);
    EXPECT_EQ(form.flabel("PORT_BPS").text, "38400bps");
}

TEST_F(PortDialog, TypedSpeedWithoutAListChoiceIsIgnored) {
    operate([](fake::Form& f) {
        f.fcombo("Combo1").value = "4800";
        ok(f);
    });
    vl.PORT_SET_Click();
    EXPECT_EQ(vl.BPS_, "19200");
    EXPECT_EQ(comm.settings, "19200,n,8,1");
}

TEST_F(PortDialog, CloseBoxWritesNothingBackButStillReopensAndMarks) {
    vl.SettingsChanged = 0;
    operate([](fake::Form& f) {
        choosePort(f, 7);
        f.fcombo("Combo1").choose("9600");
        closeBox(f);
    });
    vl.PORT_SET_Click();
    EXPECT_EQ(vl.PORT_NO, 5);
    EXPECT_EQ(vl.BPS_, "19200");
    EXPECT_EQ(comm.opens, 1);
    EXPECT_EQ(comm.port, 5);
    EXPECT_EQ(vl.SettingsChanged, -1);

    // The next time the dialog starts afresh from the main window.
    operate(ok);
    vl.PORT_SET_Click();
    EXPECT_EQ(shownPort, 4);
    EXPECT_EQ(shownBps, "19200");
}

TEST_F(PortDialog, PortWithoutAButtonShowsNoneAndKeepsTheNumber) {
    for (int16_t port : {0, 13, -1, 32767}) {
        vl.PORT_NO = port;
        operate(ok);
        vl.PORT_SET_Click();
        EXPECT_EQ(shownPort, -1) << port;
        EXPECT_EQ(vl.PORT_NO, port);
        EXPECT_EQ(comm.port, port);
    }
    // Choosing a button still works from there.
    vl.PORT_NO = 13;
    operate([](fake::Form& f) {
        choosePort(f, 2);
        ok(f);
    });
    vl.PORT_SET_Click();
    EXPECT_EQ(vl.PORT_NO, 2);
}

TEST_F(PortDialog, PortThatWillNotOpenIsReportedAndTheProgramGoesOn) {
    comm.failOpen = true;
    operate([](fake::Form& f) {
        choosePort(f, 9);
        ok(f);
    });
    vl.PORT_SET_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, platform::Icon::Critical);
    EXPECT_NE(ui.boxes[0].text.find("COM9"), std::string::npos) << ui.boxes[0].text;
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(vl.PORT_NO, 9);
    EXPECT_EQ(vl.SettingsChanged, -1);
}

TEST_F(PortDialog, ButtonsAreNamedForTheOperator) {
    std::filesystem::create_symlink("/dev/null", "COM3");
    std::vector<std::string> tips;
    operate([&tips](fake::Form& f) {
        for (int i = 0; i < port_setei::PortCount; ++i) tips.push_back(f.foption("com_no", i).tip);
        ok(f);
    });
    vl.PORT_SET_Click();
    ASSERT_EQ(tips.size(), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(tips[i], platform::describeSerialPort(i + 1));
    EXPECT_EQ(tips[2], "COM3: /dev/null (present)");

    std::vector<platform::ControlSpec> buttons;
    for (const auto& c : port_setei::formSpec().controls)
        if (c.name == "com_no") buttons.push_back(c);
    ASSERT_EQ(buttons.size(), 12u);
    const std::vector<std::string> captions{"com 1", "com 2", "com 3", "com 4", "com 5", "com 6",
                                            "com 7", "com 8", "com 9", "com10", "com11", "com12"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(buttons[i].index, i);
        EXPECT_EQ(buttons[i].caption, captions[i]);
        EXPECT_EQ(buttons[i].parent, "Frame1");
    }
}

}  // namespace
