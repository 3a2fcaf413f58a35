// Whole downloads: the program's handlers on fake windows, the real serial port, and the
// simulated logger on a pseudo-terminal behind a COMn link in a scratch folder.
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

#include "main_window/vorbix_loader.h"
#include "platform/serial/termios_comm_port.h"
#include "tests/support/fakes.h"
#include "tools/sim/child.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/logger.h"

namespace fs = std::filesystem;

namespace {

constexpr int16_t Port = 7;

// One application object for the whole process; the serial port needs its event loop.
struct QtApp {
    QtApp() {
        static int argc = 1;
        static char name[] = "sim_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
};

// A scratch working folder, left again on destruction.
struct ScratchDir {
    fs::path old = fs::current_path();
    fs::path dir;
    ScratchDir() {
        std::string tmpl = (fs::temp_directory_path() / "vl-sim-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("no scratch folder");
        dir = tmpl;
        fs::current_path(dir);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::current_path(old, ec);
        fs::remove_all(dir, ec);
    }
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string listed(const std::vector<std::string>& records, size_t n) {
    std::string s;
    for (size_t i = 0; i < n && i < records.size(); ++i) s += records[i] + "\r\n";
    return s;
}

struct WholeDownload : ::testing::Test {
    QtApp app;
    ScratchDir scratch;
    std::optional<sim::LoggerThread> logger;
    std::optional<sim::Child> child;
    fake::Log log;
    fake::Ui ui{&log};
    fake::Form form{VorbixLoader::formSpec(), &log};
    platform::TermiosCommPort comm;
    platform::Files files;
    fake::Clock clock;
    VorbixLoader vl{ui, form, comm, files, clock};
    fake::TextBox& text = form.ftext("Text1");

    // Points COM7 at `device` and opens the program's link to it.
    void connect(const std::string& device) {
        fs::remove(fs::path("COM" + std::to_string(Port)));
        fs::create_symlink(device, "COM" + std::to_string(Port));
        comm.setLockDirectories({scratch.dir.string()});
        vl.PORT_NO = Port;
        vl.BPS_ = "57600";
        if (!comm.portOpen()) vl.OpenCommPort();
    }
    void serve(const sim::Options& o) {
        logger.reset();
        sim::Line line = sim::openPty();
        const std::string path = line.peerPath();
        logger.emplace(std::move(line), o);
        connect(path);
    }
    // Runs the event loop until `done` holds or `seconds` pass; returns `done()`.
    bool runUntil(const std::function<bool()>& done, double seconds = 10) {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (done() || std::chrono::steady_clock::now() >= deadline) loop.quit();
        });
        check.start(2);
        if (!done()) loop.exec();
        return done();
    }
    bool boxShown(const std::string& t) const {
        for (const auto& b : ui.boxes)
            if (b.text == t) return true;
        return false;
    }
    bool idle() {
        for (auto* n : {"PORT_SET", "down_load", "FILE_SAVE", "FILE_LOAD"})
            if (!form.fbutton(n).enabled()) return false;
        return form.fcheck("AND_CLR").enabled() && form.pointer == platform::PointerDefault;
    }
    bool finished() {
        const bool end = boxShown("!! Down load end !!");
        ui.boxes.clear();
        return end;
    }
    void press() { form.fbutton("down_load").onClick(); }
    void timeOver() {
        for (int i = 0; i < VorbixLoader::TimeoutReload; ++i) vl.Timer1_Timer();
    }
    ~WholeDownload() override {
        vl.MSComm1.onComm = nullptr;
        comm.setPortOpen(false);
    }
};

TEST_F(WholeDownload, ListsEveryRecordInOrderAndClearCommandEmptiesTheLogger) {
    const int count = 200;
    child.emplace(LOGGER_SIM, std::vector<std::string>{"--count=200", "--session=11"});
    connect(child->firstLine());
    const auto records = sim::lapRecords(count, 11);

    press();
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_TRUE(finished());
    EXPECT_EQ(text.value, listed(records, count));
    EXPECT_TRUE(idle());
    EXPECT_FALSE(form.ftimer("Timer1").enabled());

    // Again, with "Lap all clr": the same records, after which the logger holds none.
    form.fcheck("AND_CLR").v = 1;
    press();
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_TRUE(finished());
    EXPECT_EQ(text.value, listed(records, count));
    press();
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_TRUE(finished());
    EXPECT_EQ(text.value, "");
}

TEST_F(WholeDownload, RefusedFramesAreResentAndListedOnce) {
    sim::Options o;
    o.count = 120;
    o.badChecksum = {0, 5, 121};  // the start, a lap and the end record
    o.lfBefore = {40};
    o.lfAfter = {80};
    serve(o);
    press();
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_TRUE(finished());
    EXPECT_EQ(text.value, listed(sim::lapRecords(o.count, o.session), o.count));
    EXPECT_TRUE(idle());
    // Each fault cost exactly one "ER" and one resend: 122 frames, 5 resends.
    EXPECT_EQ(logger->stats().replyNs.size(), 122u + 5);
}

TEST_F(WholeDownload, SilentLoggerTimesOutKeepingRecordsAndTheNextDownloadRecovers) {
    for (const bool withoutCr : {false, true}) {
        SCOPED_TRACE(withoutCr ? "frame without CR" : "logger stops");
        ui.boxes.clear();
        sim::Options o;
        o.count = 40;
        (withoutCr ? o.noCr : o.stallAfter) = 21;
        serve(o);
        const auto records = sim::lapRecords(o.count, o.session);

        press();
        ASSERT_TRUE(runUntil([&] { return logger->stats().replyNs.size() == 21; }));
        runUntil([] { return false; }, 0.2);  // the tail of frame 21 arrives, if any
        EXPECT_EQ(text.value, listed(records, 20));
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_FALSE(idle());

        timeOver();
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, " !! Time over !!");
        EXPECT_EQ(ui.boxes[0].icon, platform::Icon::Critical);
        EXPECT_TRUE(idle());
        EXPECT_EQ(text.value, listed(records, 20));
        ui.boxes.clear();

        press();
        ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
        EXPECT_TRUE(finished());
        EXPECT_EQ(text.value, listed(records, o.count));
        comm.setPortOpen(false);
    }
}

TEST_F(WholeDownload, HangUpKeepsRecordsClosesThePortAndALaterPressReopens) {
    sim::Options o;
    o.count = 100;
    o.hangupAfter = 51;  // the start record and 50 laps
    serve(o);
    const auto records = sim::lapRecords(o.count, o.session);

    press();
    ASSERT_TRUE(runUntil([&] { return !comm.portOpen(); }));
    EXPECT_EQ(logger->join(), sim::Logger::End::HungUp);
    EXPECT_EQ(text.value, listed(records, 50));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.ended);

    // Nothing is left polling a dead line.
    const double cpu0 = cpuSeconds();
    runUntil([] { return false; }, 1.0);
    EXPECT_LT(cpuSeconds() - cpu0, 0.5);

    // The watchdog still ends the download the operator started.
    timeOver();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, " !! Time over !!");
    EXPECT_TRUE(idle());
    ui.boxes.clear();

    // The device is gone: pressing again reports it and keeps the records.
    press();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, platform::Icon::Critical);
    EXPECT_NE(ui.boxes[0].text.find("COM7"), std::string::npos) << ui.boxes[0].text;
    EXPECT_FALSE(ui.ended);
    EXPECT_TRUE(idle());
    EXPECT_EQ(text.value, listed(records, 50));
    ui.boxes.clear();

    // The device is back under the same name: the press reopens the port and downloads.
    logger.reset();
    sim::Options clean;
    clean.count = 30;
    sim::Line line = sim::openPty();
    const std::string path = line.peerPath();
    logger.emplace(std::move(line), clean);
    fs::remove("COM7");
    fs::create_symlink(path, "COM7");
    press();
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_TRUE(finished());
    EXPECT_TRUE(comm.portOpen());
    EXPECT_EQ(text.value, listed(sim::lapRecords(30, clean.session), 30));
}

}  // namespace
