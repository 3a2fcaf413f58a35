// Whole downloads: the program's handlers on fake windows, the real serial port, and the
// simulated logger on a pseudo-terminal behind a COM7 link in a scratch folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ctime>
#include <filesystem>
#include <optional>

#include "main_window/vorbix_loader.h"
#include "platform/posix/termios_comm_port.h"
#include "tests/support/event_loop.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/logger.h"

namespace fs = std::filesystem;
using support::runUntil;

namespace {

// The first `n` of `records` as the program lists them.
std::string listed(const std::vector<std::string>& records, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += records.at(i) + "\r\n";
    return s;
}

struct WholeDownload : ::testing::Test, fake::ProgramWith<platform::posix::TermiosCommPort> {
    // The serial port needs an event loop, hence an application object.
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "sim_tests", *argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    support::ScratchDir scratch;  // for the COM7 link and the lock file
    std::optional<sim::LoggerThread> logger;

    // Points COM7 at `device`; opens the program's link to it as at start-up, if asked.
    void connect(const std::string& device, bool open = true) {
        fs::remove("COM7");
        fs::create_symlink(device, "COM7");
        comm.setLockDirectories({"."});
        vl.PORT_NO = 7;
        vl.BPS_ = "57600";
        if (open && !comm.portOpen()) vl.OpenCommPort();
    }
    std::vector<std::string> serve(const sim::Options& o, bool open = true) {
        logger.reset();
        sim::Line line = sim::openPty();
        const std::string path = line.peerPath();
        logger.emplace(std::move(line), o);
        connect(path, open);
        return sim::lapRecords(o.count, o.session);
    }
    // Presses "down load" and waits for the one box that ends the download; returns its text.
    std::string download() {
        ui.boxes.clear();
        form.fbutton("down_load").onClick();
        if (!runUntil([&] { return !ui.boxes.empty(); }) || ui.boxes.size() != 1) return "";
        EXPECT_TRUE(form.fbutton("down_load").enabled());
        return ui.boxes[0].text;
    }
    ~WholeDownload() override {
        vl.MSComm1.onComm = nullptr;
        comm.setPortOpen(false);
    }
};

TEST_F(WholeDownload, HangUpKeepsRecordsClosesThePortAndANewDeviceDownloadsAgain) {
    sim::Options o;
    o.count = 100;
    o.hangupAfter = 51;  // the start record and 50 laps
    const auto records = serve(o);

    form.fbutton("down_load").onClick();
    ASSERT_TRUE(runUntil([&] { return !comm.portOpen(); }));
    EXPECT_EQ(logger->join(), sim::Logger::End::HungUp);
    EXPECT_EQ(text.value, listed(records, 50));
    EXPECT_TRUE(ui.boxes.empty());

    // Nothing is left polling the dead line: a spin would burn a whole core.
    const std::clock_t cpu0 = std::clock();
    runUntil([] { return false; }, 1000);
    EXPECT_LT(double(std::clock() - cpu0) / CLOCKS_PER_SEC, 0.5);
    for (int i = 0; i < VorbixLoader::TimeoutReload; ++i) vl.Timer1_Timer();  // time over
    EXPECT_EQ(ui.boxes.at(0).text, " !! Time over !!");

    // The device is gone: the press reports it naming the port, and the program goes on.
    // Its pty number is free for another test's pty at once, so the link now names a
    // place in this test's own folder where no device can appear.
    connect(scratch.at("gone"), false);
    const std::string box = download();
    EXPECT_NE(box.find("COM7"), std::string::npos) << box;
    EXPECT_FALSE(ui.ended);
    EXPECT_EQ(text.value, listed(records, 50));

    // A device under the same name: the press reopens the port and downloads.
    sim::Options clean;
    clean.count = 30;
    const auto fresh = serve(clean, false);
    EXPECT_EQ(download(), "!! Down load end !!");
    EXPECT_EQ(text.value, listed(fresh, 30));
}

}  // namespace
