#include <random>

#include "port_settings/settings_format.h"
#include "tests/settings_fixture.h"

namespace {

using settings_test::FileSizeLimit;
using settings_test::Program;
using settings_test::readFile;
using settings_test::writeFile;

bool onlyPortDatIn(const std::filesystem::path& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename() != "PORT.DAT") return false;
    return true;
}

// Whatever was there before must not survive a load.
void setOldValues(settings_test::Rig& r) {
    r.vl.PORT_NO = 9;
    r.vl.BPS_ = "old";
    r.vl.PASS_NAME = "/old";
}

void loadExpectingDefaultsAndDialog(settings_test::Rig& r, const std::string& why) {
    setOldValues(r);
    r.log.clear();
    r.comm.opens = 0;
    r.vl.LoadPortSettings();
    EXPECT_EQ(r.vl.PORT_NO, 1) << why;
    EXPECT_EQ(r.vl.BPS_, "57600") << why;
    EXPECT_EQ(r.vl.PASS_NAME, r.cwd()) << why;
    EXPECT_EQ(r.dialogsShown(), 1) << why;
    EXPECT_EQ(r.vl.SettingsChanged, -1) << why;
    EXPECT_EQ(r.comm.opens, 1) << why;
    EXPECT_EQ(r.comm.settings, "57600,n,8,1") << why;
    EXPECT_FALSE(r.files.isOpen(r.vl.SettingsFileNo)) << why;
}

using SettingsFile = Program;

TEST_F(SettingsFile, LoadsAGoodFileWithoutTheDialog) {
    writeFile("PORT.DAT", "13\r\n\"19200\"\r\n\"C:\\DATA\"\r\n");
    vl.LoadPortSettings();
    EXPECT_EQ(vl.PORT_NO, 13);
    EXPECT_EQ(vl.BPS_, "19200");
    EXPECT_EQ(vl.PASS_NAME, "C:\\DATA");
    EXPECT_EQ(dialogsShown(), 0);
    EXPECT_EQ(comm.opens, 0);
    EXPECT_EQ(vl.SettingsChanged, 0);
    EXPECT_FALSE(files.isOpen(vl.SettingsFileNo));
    // Handed to the serial control unchecked.
    vl.OpenCommPort();
    EXPECT_EQ(comm.port, 13);
}

TEST(SettingsFileFailures, EveryUnreadableFileFallsBackToDefaults) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"two lines", "3\r\n\"19200\"\r\n"},
        {"too big", "70000\r\n\"19200\"\r\n\"C:\\DATA\"\r\n"},
        {"not a number", "COM3\r\n\"19200\"\r\n\"C:\\DATA\"\r\n"},
        {"unclosed", "3\r\n\"19200\r\n\"C:\\DATA\r\n"},
        {"empty", ""},
    };
    for (const auto& [why, bytes] : cases) {
        settings_test::Rig r;
        writeFile("PORT.DAT", bytes);
        loadExpectingDefaultsAndDialog(r, why);
        EXPECT_EQ(readFile("PORT.DAT"), bytes) << why;  // reading never writes
    }
}

TEST_F(SettingsFile, MissingFileOrAFolderInItsPlaceFallBack) {
    loadExpectingDefaultsAndDialog(*this, "missing");
    std::filesystem::create_directory("PORT.DAT");
    loadExpectingDefaultsAndDialog(*this, "folder");
}

TEST_F(SettingsFile, UsesAFreeNumberAndLeavesOtherFilesOpen) {
    files.openOutput(files.freeFile(), "records.txt");  // number 1, as a record file
    writeFile("PORT.DAT", "2,\"9600\",\"/x\"");
    vl.LoadPortSettings();
    EXPECT_EQ(vl.SettingsFileNo, 2);
    EXPECT_TRUE(files.isOpen(1));
    vl.SavePortSettings();
    EXPECT_EQ(vl.SettingsFileNo, 2);
    EXPECT_TRUE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));
    files.discard(1);
}

TEST_F(SettingsFile, WritesExactlyThreeFieldsThatLoadBack) {
    std::string folder = cwd() + "/lap data ";
    for (int c = 0x80; c <= 0xFF; ++c) folder += static_cast<char>(c);
    writeFile("PORT.DAT", std::string(5000, 'x'));  // longer than what replaces it
    vl.PORT_NO = 12;
    vl.BPS_ = "38400";
    vl.PASS_NAME = folder;
    vl.SavePortSettings();
    EXPECT_EQ(readFile("PORT.DAT"), "12\r\n\"38400\"\r\n\"" + folder + "\"\r\n");
    EXPECT_TRUE(onlyPortDatIn(dir.path()));
    EXPECT_FALSE(files.isOpen(vl.SettingsFileNo));

    vl.PORT_NO = 0;
    vl.BPS_.clear();
    vl.PASS_NAME.clear();
    vl.LoadPortSettings();
    EXPECT_EQ(vl.PORT_NO, 12);
    EXPECT_EQ(vl.BPS_, "38400");
    EXPECT_EQ(vl.PASS_NAME, folder);
    EXPECT_EQ(dialogsShown(), 0);
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFileWhole) {
    const std::string old = "3\r\n\"19200\"\r\n\"/old\"\r\n";
    writeFile("PORT.DAT", old);
    // Long enough to fail while printing, not only when the file is finished.
    vl.PASS_NAME = "/" + std::string(100000, 'f');
    {
        FileSizeLimit limit(16);
        EXPECT_THROW(vl.SavePortSettings(), platform::RuntimeError);
    }
    EXPECT_EQ(readFile("PORT.DAT"), old);
    EXPECT_TRUE(onlyPortDatIn(dir.path()));  // no temporary file left behind
    EXPECT_FALSE(files.isOpen(vl.SettingsFileNo));
    files.closeAll();  // nothing left to finish later either
    EXPECT_EQ(readFile("PORT.DAT"), old);

    std::filesystem::remove("PORT.DAT");
    std::filesystem::create_directory("PORT.DAT");
    EXPECT_THROW(vl.SavePortSettings(), platform::RuntimeError);
    EXPECT_TRUE(std::filesystem::is_directory("PORT.DAT"));
}

// Damaged files on disk go through the whole load: they load or fall back, and the
// file is always closed again.
TEST_F(SettingsFile, MutatedFilesLoadOrFallBack) {
    const std::string good = settings::format({4, "38400", "/home/op"});
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = good;
        for (int e = 0; e < 3; ++e) {
            const size_t at = rng() % bytes.size();
            if (rng() % 2)
                bytes[at] = static_cast<char>(rng() % 256);
            else
                bytes.erase(at, 1);
        }
        writeFile("PORT.DAT", bytes);
        const int before = dialogsShown();
        vl.LoadPortSettings();
        const bool fellBack = dialogsShown() > before;
        EXPECT_EQ(fellBack, !settings::parse(bytes)) << testing::PrintToString(bytes);
        if (fellBack) {
            EXPECT_EQ(vl.BPS_, "57600");
        }
        EXPECT_FALSE(files.isOpen(vl.SettingsFileNo));
    }
}

}  // namespace
