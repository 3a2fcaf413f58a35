// "PORT.DAT" at start-up and shut-down, and the port dialog, on a main window of fakes
// run in a fresh working directory.
#include <gtest/gtest.h>

#include <fstream>

#include "main_window/vorbix_loader.h"
#include "platform/file_system.h"
#include "port_settings/port_setei.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

// What "PORT.DAT" is: "<none>", "<folder>" or its bytes.
std::string portDat() {
    if (!fs::is_regular_file("PORT.DAT")) return fs::exists("PORT.DAT") ? "<folder>" : "<none>";
    return support::bytesOf("PORT.DAT");
}

std::string shown;  // the speed and port the last dialog opened with

// The operator in the port dialog: a port button and a list speed (0 and "" for
// none), a speed typed into the box, then "OK" or the close box.
std::function<void(fake::Form&)> answer(int port, std::string bps, std::string typed = "",
                                        bool ok = true) {
    return [=](fake::Form& f) {
        fake::ComboBox& combo = f.fcombo("Combo1");
        shown = combo.text();
        for (int i = 0; i < port_setei::PortCount; ++i)
            if (f.option("com_no", i).value()) shown += " com" + std::to_string(i + 1);
        if (port) f.option("com_no", port - 1).onClick();
        if (!bps.empty()) combo.value = bps, combo.onClick();  // picked from the list
        if (!typed.empty()) combo.value = typed;
        if (ok) return f.fbutton("ok_bot").onClick();
        f.onUnload();
        f.unload();
    };
}

struct Rig : fake::Program {
    support::ScratchDir dir;  // the program's working folder while the test runs

    Rig() { ui.operators["PORT SET"] = answer(0, ""); }
    static void write(std::string b) { std::ofstream("PORT.DAT", std::ios::binary) << b; }
    std::string settings() const {
        return std::to_string(vl.PORT_NO) + "|" + vl.BPS_ + "|" + vl.PASS_NAME;
    }
    // The log without the port's other properties and the timer.
    fake::Log steps() const {
        fake::Log out;
        for (const auto& e : log)
            for (const char* p :
                 {"show", "unload", "CommPort", "Settings", "PortOpen", "msg", "end"})
                if (e.rfind(p, 0) == 0) out.push_back(e);
        return out;
    }
};

struct LifeCycle : ::testing::Test, Rig {};

// Defaults and the dialog, the link opened by it and again by start-up (two CRs), and
// the operator's choice written at exit. The record folder is where a terminal started
// the program, or the documents folder when the menu did.
TEST(LifeCycleFirstRun, UnreadableSettingsMeanDefaultsAndTheDialogWhoseChoiceIsKept) {
    const auto& system = platform::systemFileSystem();
    for (const std::string bytes :
         {"<none>", "<folder>", "3\r\n\"19200\"\r\n", "70000\r\n\"19200\"\r\n\"/d\"\r\n"})
        for (const bool fromMenu : {false, true}) {
            SCOPED_TRACE(bytes + (fromMenu ? ", from the menu" : ", from a terminal"));
            Rig r;
            r.vl.fromMenu = fromMenu;
            r.ui.operators["PORT SET"] = answer(5, "19200");
            if (bytes == "<folder>") fs::create_directory("PORT.DAT");
            if (bytes[0] != '<') r.write(bytes);
            // A signal while the box that reports a failed write is open.
            r.ui.onMsgBox = [&r] { r.ui.onEndRequest(); };
            r.vl.Form_Load();
            EXPECT_FALSE(r.files.isOpen(r.vl.SettingsFileNo));
            EXPECT_EQ(shown, "57600 com1");
            EXPECT_EQ(r.steps().front(), "show PORT SET");  // before the link opens
            EXPECT_EQ(r.comm.sent, "\r\r");
            r.vl.Form_Unload();
            const std::string folder =
                fromMenu ? system.documentsFolder() : system.currentDirectory();
            // Reported once at exit (shut-down is not started over), nothing else written.
            EXPECT_EQ(r.ui.boxes.size(), bytes == "<folder>" ? 1u : 0u);
            if (bytes == "<folder>")
                EXPECT_EQ(portDat(), "<folder>");
            else
                EXPECT_EQ(portDat(), "5\r\n\"19200\"\r\n\"" + folder + "\"\r\n");
        }
}

// One failure, one box, and the choice not kept: the file stays as it was, so the next
// start asks again. A port from a whole file that will not open is reported alike.
TEST(LifeCycleFirstRun, UnopenablePortIsReportedOnceAndNotKept) {
    for (const std::string bytes : {"<none>", "3\r\n\"19200\"\r\n", "13,\"19200\",\"/r\""}) {
        Rig r;
        r.comm.failOpen = true;
        if (bytes[0] != '<') r.write(bytes);
        r.vl.Form_Load();
        r.vl.Form_Unload();
        ASSERT_EQ(r.ui.boxes.size(), 1u) << bytes;
        EXPECT_EQ(r.ui.boxes[0].icon, platform::Icon::Critical);
        EXPECT_EQ(portDat(), bytes);
    }
    // Ended in the dialog (a signal, the end of the session): no port opened, none kept.
    Rig r;
    r.ui.operators["PORT SET"] = [&r](fake::Form&) {
        r.vl.Form_Unload(VorbixLoader::EndedBy::System);
    };
    r.vl.Form_Load();
    EXPECT_EQ(portDat(), "<none>");
}

TEST_F(LifeCycle, PortCommandIsWrittenAtExitWithTheFolderReadByteForByte) {
    std::string folder = "/lap data ";
    for (int c = 0x80; c <= 0xFF; ++c) folder += static_cast<char>(c);
    // A long fourth field: the new file must not keep the old one's tail. Read through a
    // link put at its name, and written as a file in the link's place, never through it.
    const std::string old = "2,\"9600\",\"" + folder + "\"," + std::string(5000, 'x');
    std::ofstream("theirs", std::ios::binary) << old;
    fs::create_symlink("theirs", "PORT.DAT");
    files.openOutput(files.freeFile(), "records.txt");  // number 1 is someone else's
    vl.Form_Load();
    ui.operators["PORT SET"] = answer(11, "38400");
    vl.PORT_SET_Click();
    vl.Form_Unload();
    EXPECT_TRUE(fs::exists("records.txt"));  // every file is closed, so finished, at exit
    EXPECT_EQ(portDat(), "11\r\n\"38400\"\r\n\"" + folder + "\"\r\n");
    EXPECT_FALSE(fs::is_symlink("PORT.DAT"));
    EXPECT_EQ(fs::file_size("theirs"), old.size());
}

// "file save" marks the settings for writing however its dialog is left (the last folder
// may have changed); "file load" does not.
TEST(SettingsAtExit, AreWrittenAfterASaveAndNotAfterALoad) {
    for (const bool save : {false, true}) {
        Rig r;
        r.write("13,\"19200\",\"/r\"");  // one line: a rewrite would show
        r.vl.Form_Load();
        save ? r.vl.FILE_SAVE_Click() : r.vl.FILE_LOAD_Click();  // closed by the close box
        r.vl.Form_Unload();
        EXPECT_EQ(portDat(), save ? "13\r\n\"19200\"\r\n\"/r\"\r\n" : "13,\"19200\",\"/r\"");
    }
}

// From port 5 at 19200. However the dialog is left, the settings are marked for writing
// and the link is reopened, after the dialog is gone, with whatever the main window then
// holds.
TEST(PortDialog, HandsBackOnlyWhatOkConfirmsAndReopensTheLink) {
    using Case = std::tuple<int16_t, std::function<void(fake::Form&)>, std::string, std::string>;
    const Case cases[] = {
        {5, answer(0, ""), "19200 com5", "5|19200|"},
        {5, answer(12, "38400"), "19200 com5", "12|38400|"},
        {5, answer(0, "", "4800"), "19200 com5", "5|19200|"},         // typed, not chosen
        {5, answer(7, "9600", "", false), "19200 com5", "5|19200|"},  // the close box
        {0, answer(0, ""), "19200", "0|19200|"},                      // no button for it
        {13, answer(0, ""), "19200", "13|19200|"},
    };
    for (const auto& [port, play, shownFirst, after] : cases) {
        Rig r;
        r.vl.PORT_NO = port;
        r.vl.BPS_ = "19200";
        r.ui.operators["PORT SET"] = play;
        r.vl.PORT_SET_Click();
        EXPECT_EQ(shown, shownFirst) << after;
        EXPECT_EQ(r.settings(), after);
        EXPECT_EQ(r.steps(), (fake::Log{"show PORT SET", "unload PORT SET",
                                        "CommPort=" + std::to_string(r.vl.PORT_NO),
                                        "Settings=" + r.vl.BPS_ + ",n,8,1", "PortOpen=true"}));
        EXPECT_EQ(r.form.label("PORT_BPS").caption(), r.vl.BPS_ + "bps");
        EXPECT_EQ(r.vl.SettingsChanged, -1);
    }
}

TEST(PortDialog, ButtonsReadCom1ToCom9WithABlankAndCom10ToCom12Without) {
    std::string captions;
    for (const auto& c : port_setei::formTable().controls)
        if (c.name == "com_no") captions += c.caption + "|";
    EXPECT_EQ(captions, "com 1|com 2|com 3|com 4|com 5|com 6|com 7|com 8|com 9|com10|com11|com12|");
}

}  // namespace
