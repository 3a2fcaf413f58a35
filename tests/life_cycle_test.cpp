#include "tests/settings_fixture.h"

namespace {

using settings_test::closeBox;
using settings_test::FileSizeLimit;
using settings_test::readFile;
using settings_test::writeFile;

using LifeCycle = settings_test::Program;

std::vector<std::string> openCloseSteps(const fake::Log& log) {
    std::vector<std::string> out;
    for (const auto& e : log)
        if (e == "show PORT SET" || e.rfind("PortOpen=", 0) == 0 || e == "end") out.push_back(e);
    return out;
}

TEST_F(LifeCycle, FirstRunAsksForThePortButDoesNotWriteItsChoice) {
    onDialog([](fake::Form& f) {
        auto& b = f.foption("com_no", 2);
        b.setValue(true);
        b.onClick();
        f.fbutton("ok_bot").onClick();
    });
    vl.Form_Load();
    EXPECT_EQ(openCloseSteps(log), (std::vector<std::string>{"show PORT SET", "PortOpen=true",
                                                             "PortOpen=false", "PortOpen=true"}));
    EXPECT_EQ(comm.port, 3);
    EXPECT_EQ(comm.settings, "57600,n,8,1");
    EXPECT_EQ(vl.PASS_NAME, cwd());
    EXPECT_EQ(vl.SettingsChanged, 0);
    EXPECT_TRUE(ui.boxes.empty());

    log.clear();
    vl.Form_Unload();
    EXPECT_EQ(log, (fake::Log{"PortOpen=false", "end"}));
    EXPECT_FALSE(std::filesystem::exists("PORT.DAT"));
}

TEST_F(LifeCycle, PortCommandIsWrittenAtExitAndLoadedAtNextStart) {
    writeFile("PORT.DAT", "2,\"9600\",\"/records\"");
    vl.Form_Load();
    EXPECT_EQ(dialogsShown(), 0);
    EXPECT_EQ(comm.opens, 1);
    EXPECT_EQ(comm.port, 2);
    EXPECT_EQ(vl.SettingsChanged, 0);

    onDialog([](fake::Form& f) {
        auto& b = f.foption("com_no", 10);
        b.setValue(true);
        b.onClick();
        f.fcombo("Combo1").choose("38400");
        f.fbutton("ok_bot").onClick();
    });
    vl.PORT_SET_Click();
    vl.Form_Unload();
    EXPECT_FALSE(comm.open);
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(readFile("PORT.DAT"), "11\r\n\"38400\"\r\n\"/records\"\r\n");

    fake::Log log2;
    fake::Ui ui2{&log2};
    fake::Form form2{VorbixLoader::formSpec(), &log2};
    fake::CommPort comm2{&log2};
    platform::Files files2;
    VorbixLoader next{ui2, form2, comm2, files2, clock};
    next.Form_Load();
    EXPECT_EQ(next.PORT_NO, 11);
    EXPECT_EQ(next.BPS_, "38400");
    EXPECT_EQ(next.PASS_NAME, "/records");
    EXPECT_EQ(comm2.port, 11);
    EXPECT_EQ(comm2.opens, 1);
}

TEST_F(LifeCycle, ClosingTheDialogByItsBoxStillWritesAtExit) {
    const std::string old = "4\r\n\"19200\"\r\n\"/r\"\r\n";
    writeFile("PORT.DAT", old);
    vl.Form_Load();
    onDialog(closeBox);
    vl.PORT_SET_Click();
    vl.Form_Unload();
    EXPECT_EQ(readFile("PORT.DAT"), old);  // rewritten with the same values
    EXPECT_TRUE(ui.ended);
}

TEST_F(LifeCycle, UnopenablePortIsReportedAndTheFileKept) {
    const std::string old = "13,\"19200\",\"/r\"";  // one line: a rewrite would show
    writeFile("PORT.DAT", old);
    comm.failOpen = true;
    vl.Form_Load();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, platform::Icon::Critical);
    EXPECT_NE(ui.boxes[0].text.find("COM13"), std::string::npos) << ui.boxes[0].text;
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(vl.SettingsChanged, 0);

    vl.Form_Unload();
    EXPECT_TRUE(ui.ended);
    EXPECT_EQ(readFile("PORT.DAT"), old);
}

TEST_F(LifeCycle, FirstRunWithAnUnopenablePortStillStarts) {
    comm.failOpen = true;
    vl.Form_Load();
    EXPECT_EQ(dialogsShown(), 1);
    EXPECT_EQ(ui.boxes.size(), 2u);  // once after the dialog, once at the end of start-up
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(vl.SettingsChanged, 0);
    vl.Form_Unload();
    EXPECT_FALSE(std::filesystem::exists("PORT.DAT"));
}

TEST_F(LifeCycle, FailedWriteAtExitIsReportedAndKeepsTheOldFile) {
    const std::string old = "4\r\n\"19200\"\r\n\"/r\"\r\n";
    writeFile("PORT.DAT", old);
    vl.Form_Load();
    vl.PASS_NAME = "/" + std::string(300, 'd');
    vl.SettingsChanged = -1;

    {
        FileSizeLimit limit(16);
        vl.Form_Unload();
    }

    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, platform::Icon::Critical);
    EXPECT_TRUE(ui.ended);
    EXPECT_FALSE(comm.open);
    EXPECT_EQ(readFile("PORT.DAT"), old);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename(), "PORT.DAT");
}

}  // namespace
