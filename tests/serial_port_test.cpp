// The serial port over pseudo-terminals: the test holds the master side, as the logger
// does, and the port opens the slave through the link COM7. Tests run in a scratch folder
// that holds the links and the lock files.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "platform/error.h"
#include "platform/posix/termios_comm_port.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;
using namespace platform;
using platform::posix::TermiosCommPort;
using Events = std::vector<int16_t>;

namespace {

// Runs the event loop until `done` holds or `limitMs` pass; returns `done()`.
bool runUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QTimer tick;  // wakes the wait below to look at `done` again
    tick.start(5);
    for (QDeadlineTimer limit(limitMs); !done() && !limit.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

class SerialPort : public ::testing::Test {
  protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_TRUE(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0);
        slave_ = ::ptsname(master_);
        fs::remove("COM7");
        fs::create_symlink(slave_, "COM7");
        lockFile_ = "LCK.." + fs::path(slave_).filename().string();
        port_.setLockDirectories({"."});
        port_.setCommPort(7);
        port_.setInputLen(1);
        port_.setRThreshold(1);
        // Records every event; reads on a receive event while `reading_`, and also after
        // many events, so a port that keeps repeating them fails a test instead of hanging.
        port_.onComm = [this] {
            events_.push_back(port_.commEvent());
            const bool read = reading_ || events_.size() > 1000;
            if (read && port_.commEvent() == comm::EvReceive) data_ += port_.input();
        };
    }
    ~SerialPort() override { ::close(master_); }

    // What the logger sends.
    void send(const std::string& s) {
        ASSERT_EQ(::write(master_, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
    pid_t lockHolder() {
        pid_t pid = 0;
        return std::ifstream(lockFile_) >> pid ? pid : 0;
    }

    int master_ = -1;
    std::string slave_, lockFile_;
    TermiosCommPort port_;
    bool reading_ = true;
    Events events_;
    std::string data_;
};

}  // namespace

// What the port sends reaches the logger as sent: every end-to-end download's replies.
TEST_F(SerialPort, OpensAtTheSetSpeedAndPassesEveryByteReceivedUntranslated) {
    port_.setSettings("19200,n,8,1");
    port_.setPortOpen(true);
    termios t{};  // a master reports its slave's settings
    EXPECT_TRUE(::tcgetattr(master_, &t) == 0 && ::cfgetospeed(&t) == B19200);

    std::string bytes = "DOWN\r\n";
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    send(bytes);
    ASSERT_TRUE(runUntil([&] { return data_.size() >= bytes.size(); }));
    EXPECT_EQ(data_, bytes);
    EXPECT_EQ(events_, Events(bytes.size(), comm::EvReceive));  // one byte per event
}

TEST_F(SerialPort, UnreadInputRaisesNoMoreEventsWaitsWithTheDriverAndCanBeDiscarded) {
    reading_ = false;
    port_.setPortOpen(true);
    send("held");
    ASSERT_TRUE(runUntil([&] { return !events_.empty(); }));
    runUntil([] { return false; }, 100);
    EXPECT_EQ(events_, Events{comm::EvReceive});  // a handler that reads nothing: no spin
    send("queued");                               // waits in the kernel
    ::usleep(100 * 1000);
    port_.setInBufferCount(0);
    reading_ = true;
    send("new\r");
    ASSERT_TRUE(runUntil([&] { return data_.size() >= 4; }));
    EXPECT_EQ(data_, "new\r");

    // More than the buffer takes waits with the driver, not watched, until the buffer is
    // drained (here outside a receive event); nothing is lost and no overflow is raised.
    const std::string kept(TermiosCommPort::InBufferSize, 'k');
    reading_ = false;
    port_.setInputLen(0);
    send(kept + "more");
    runUntil([] { return false; }, 100);
    reading_ = true;
    data_ += port_.input();
    ASSERT_TRUE(runUntil([&] { return data_.size() >= 8 + kept.size(); }));
    EXPECT_EQ(data_, "new\r" + kept + "more");
    EXPECT_EQ(std::count(events_.begin(), events_.end(), comm::EvReceive), ssize_t(events_.size()));
    EXPECT_LT(events_.size(), 10u);
}

TEST_F(SerialPort, HandlersAreNeverReenteredByANestedEventLoop) {
    int depth = 0, deepest = 0;
    port_.onComm = [&] {
        deepest = std::max(deepest, ++depth);
        data_ += port_.input();
        if (data_ == "a") {  // as a modal box does: more arrives while its loop runs
            send("cd");
            runUntil([] { return false; }, 100);
        }
        --depth;
    };
    port_.setPortOpen(true);
    send("ab");
    ASSERT_TRUE(runUntil([&] { return data_.size() >= 4; }));
    EXPECT_EQ(data_, "abcd");
    EXPECT_EQ(deepest, 1);
}

// Its temporary file is made exclusively: a link put at its name is never followed.
TEST_F(SerialPort, ALockFileIsHeldWhileOpenAndALiveOneKeepsThePortClosed) {
    std::ofstream("victim") << "theirs";
    fs::create_symlink("victim", "LTMP." + std::to_string(::getpid()));
    std::ofstream(lockFile_) << ::getppid() << '\n';
    EXPECT_THROW(port_.setPortOpen(true), RuntimeError);
    EXPECT_EQ(lockHolder(), ::getppid());
    // Stale ones are replaced: a pid no process can have, and garbage.
    for (const char* stale : {"999999999\n", "garbage\n"}) {
        std::ofstream(lockFile_) << stale;
        port_.setPortOpen(true);
        EXPECT_EQ(lockHolder(), ::getpid());
        port_.setPortOpen(false);
        EXPECT_FALSE(fs::exists(lockFile_));
    }
    // A program that keeps no lock files still meets the device's advisory lock.
    port_.setPortOpen(true);
    TermiosCommPort other;
    other.setCommPort(7);
    other.setLockDirectories({});
    EXPECT_THROW(other.setPortOpen(true), RuntimeError);
    EXPECT_EQ(fs::file_size("victim"), 6u);
}

namespace {

// The driver's serial settings as a test sets them: answers or refuses, keeps what is set.
struct FakeDriver : posix::SerialDriver {
    FakeDriver(bool answers, bool takes, int flags)
        : answers(answers), takes(takes), flags(flags) {}
    bool answers, takes;
    mutable int flags;
    mutable std::vector<int> set_;  // the flags of every set, in order
    bool get(int, serial_struct& s) const override {
        s = {};
        s.flags = flags;
        errno = ENOTTY;
        return answers;
    }
    bool set(int, const serial_struct& s) const override {
        set_.push_back(s.flags);
        errno = EPERM;
        if (takes) flags = s.flags;
        return takes;
    }
};

}  // namespace

// The flags found are put back as the port closes, also when a hang-up closes it.
TEST_F(SerialPort, LowLatencyIsAskedForWhileOpenAndTheFlagsFoundComeBack) {
    constexpr int Other = ASYNC_SKIP_TEST | ASYNC_BOOT_AUTOCONF;
    constexpr int Low = ASYNC_LOW_LATENCY;
    struct Case {
        const char* what;
        bool answers, takes;
        int found;
        std::vector<int> whileOpen, afterClose;
        bool hangUp = false;
    } cases[] = {
        {"a UART or an adapter", true, true, Other, {Other | Low}, {Other | Low, Other}},
        {"already low", true, true, Other | Low, {}, {}},
        {"a pty, no settings", false, true, Other, {}, {}},
        {"a driver that refuses", true, false, Other, {Other | Low}, {Other | Low}},
        {"a hang-up, the last", true, true, Other, {Other | Low}, {Other | Low, Other}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDriver driver(c.answers, c.takes, c.found);
        port_.setSerialDriver(driver);
        port_.setPortOpen(true);
        EXPECT_TRUE(port_.portOpen());
        EXPECT_EQ(driver.set_, c.whileOpen);
        if (c.hangUp)
            ::close(std::exchange(master_, -1));
        else
            port_.setPortOpen(false);
        ASSERT_TRUE(runUntil([&] { return !port_.portOpen(); }));
        EXPECT_EQ(driver.set_, c.afterClose);
        EXPECT_EQ(driver.flags, c.found);
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    support::ScratchDir dir;
    return RUN_ALL_TESTS();
}
