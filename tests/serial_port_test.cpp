// The serial port over pseudo-terminals: the test holds the master side, as the logger
// simulator does, and the port opens the slave through a COMn link in a scratch folder.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/serial/termios_comm_port.h"

namespace fs = std::filesystem;
using platform::RuntimeError;
using platform::TermiosCommPort;

namespace {

// Runs the event loop until `done` holds or the limit passes; returns `done()`.
bool runUntil(const std::function<bool()>& done, int limitMs = 3000) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    limit.setSingleShot(true);
    limit.start(limitMs);
    loop.exec();
    return done();
}

void runFor(int ms) {
    runUntil([] { return false; }, ms);
}

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string lockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// A process that only exists, stopped and reaped by its pid whatever the test's outcome.
struct Child {
    pid_t pid = -1;
    Child() {
        pid = ::fork();
        if (pid == 0) {
            ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~Child() { stop(); }
};

class SerialPort : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vl_serial_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        lockDir_ = dir_ / "lock";
        fs::create_directory(lockDir_);
        oldCwd_ = fs::current_path();
        fs::current_path(dir_);
        ASSERT_TRUE(openPty(7));
        port_ = makePort();
    }

    void TearDown() override {
        port_.reset();
        closeMaster();
        fs::current_path(oldCwd_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::unique_ptr<TermiosCommPort> makePort() {
        auto p = std::make_unique<TermiosCommPort>();
        p->setLockDirectories({lockDir_.string()});
        p->setCommPort(7);
        p->setSettings("19200,n,8,1");
        p->setInputLen(1);
        p->setRThreshold(1);
        return p;
    }

    // A new pseudo-terminal behind the link COMn.
    bool openPty(int n) {
        closeMaster();
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
        slave_ = ::ptsname(master_);
        const std::string link = "COM" + std::to_string(n);
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_symlink(slave_, link);
        return true;
    }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // What the logger sends.
    void send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else {
                pollfd p{master_, POLLOUT, 0};
                ASSERT_EQ(::poll(&p, 1, 2000), 1) << "master takes no more";
            }
        }
    }

    // What the logger receives: `n` bytes, or fewer when the limit passes first.
    std::string received(size_t n) {
        std::string got;
        char chunk[4096];
        while (got.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 2000) != 1) break;
            const ssize_t r = ::read(master_, chunk, std::min(sizeof chunk, n - got.size()));
            if (r <= 0) break;
            got.append(chunk, static_cast<size_t>(r));
        }
        return got;
    }

    // Whether the logger receives anything more within a moment.
    bool receivesMore() {
        pollfd p{master_, POLLIN, 0};
        return ::poll(&p, 1, 100) == 1;
    }

    // Bytes waiting in the slave's input queue, not yet read by the port.
    int waitingInSlave() {
        const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        int n = -1;
        if (fd >= 0) {
            ::ioctl(fd, TIOCINQ, &n);
            ::close(fd);
        }
        return n;
    }

    fs::path lockFile() const {
        return lockDir_ / ("LCK.." + fs::path(slave_).filename().string());
    }

    fs::path dir_, lockDir_, oldCwd_;
    int master_ = -1;
    std::string slave_;
    std::unique_ptr<TermiosCommPort> port_;
};

// Records every event; reads one byte per receive event unless told otherwise.
struct Recorder {
    TermiosCommPort& port;
    bool reading = true;
    std::vector<int16_t> events;
    std::string data;
    explicit Recorder(TermiosCommPort& p) : port(p) {
        port.onComm = [this] {
            events.push_back(port.commEvent());
            if (reading && port.commEvent() == platform::comm::EvReceive) data += port.input();
        };
    }
};

}  // namespace

TEST_F(SerialPort, OpensTheLinkedDeviceRawAndTakesItsLock) {
    port_->setPortOpen(true);
    ASSERT_TRUE(port_->portOpen());
    EXPECT_EQ(port_->device(), slave_);
    EXPECT_EQ(readFile(lockFile()), lockText(::getpid()));

    const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B19200);
    EXPECT_EQ(::cfgetispeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
    EXPECT_FALSE(t.c_oflag & (OPOST | ONLCR | OCRNL));
    EXPECT_FALSE(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | IGNPAR | ISTRIP | BRKINT));
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_TRUE(t.c_iflag & PARMRK);

    // A new speed applies at once; a bad one is refused and changes nothing.
    port_->setSettings("57600,n,8,1");
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B57600);
    try {
        port_->setSettings("57600,e,8,1");
        ADD_FAILURE() << "parity e accepted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::InvalidPropertyValue);
    }
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_FALSE(t.c_cflag & PARENB);
    ::close(fd);

    port_->setPortOpen(false);
    EXPECT_FALSE(port_->portOpen());
    EXPECT_FALSE(fs::exists(lockFile()));
}

TEST_F(SerialPort, OutputArrivesByteForByte) {
    port_->setPortOpen(true);
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const std::string bytes = "DOWN\r" + all + "\r\n\n\r" + all + all;
    port_->output(bytes);
    EXPECT_EQ(received(bytes.size()), bytes);  // nothing translated
    EXPECT_FALSE(receivesMore());
}

TEST_F(SerialPort, RaisesOneEventPerReceivedByte) {
    Recorder rec(*port_);
    port_->setPortOpen(true);
    // CR, LF, NUL, XON/XOFF and 0xFF are all plain data.
    const std::string bytes = std::string("02ST:7\r\n") + '\0' + "\x11\x13\xFF\xFF\xFE" + "\r";
    send(bytes);
    ASSERT_TRUE(runUntil([&] { return rec.data.size() >= bytes.size(); }));
    runFor(50);
    EXPECT_EQ(rec.data, bytes);
    EXPECT_EQ(rec.events, std::vector<int16_t>(bytes.size(), platform::comm::EvReceive));
}

TEST_F(SerialPort, InputLenZeroReadsEverythingAndAHandlerThatReadsNothingStopsEvents) {
    Recorder rec(*port_);
    rec.reading = false;
    port_->setInputLen(0);
    port_->setPortOpen(true);
    send("abc");
    ASSERT_TRUE(runUntil([&] { return !rec.events.empty(); }));
    runFor(100);
    EXPECT_EQ(rec.events.size(), 1u);  // no repeat while the handler leaves the bytes
    // The next byte wakes it again; everything waiting comes in one read.
    rec.reading = true;
    send("d");
    ASSERT_TRUE(runUntil([&] { return !rec.data.empty(); }));
    EXPECT_EQ(rec.data, "abcd");
}

TEST_F(SerialPort, InBufferCountZeroDiscardsQueuedAndUndeliveredInput) {
    Recorder rec(*port_);
    rec.reading = false;
    port_->setPortOpen(true);
    send("held");  // read by the port, left undelivered by the handler
    ASSERT_TRUE(runUntil([&] { return !rec.events.empty() && waitingInSlave() == 0; }));
    send("queued");  // still in the kernel's queue
    ::usleep(50 * 1000);
    port_->setInBufferCount(0);
    rec.reading = true;
    send("new\r");
    ASSERT_TRUE(runUntil([&] { return rec.data.size() >= 4; }));
    runFor(50);
    EXPECT_EQ(rec.data, "new\r");
}

TEST_F(SerialPort, OverflowDropsTheExcessAndIsReportedOnceInStreamOrder) {
    Recorder rec(*port_);
    rec.reading = false;
    port_->setInputLen(0);
    port_->setPortOpen(true);
    std::string flood;
    for (int i = 0; i < 1500; ++i) flood.push_back(static_cast<char>('a' + i % 26));
    send(flood);
    ASSERT_TRUE(runUntil([&] { return !rec.events.empty() && waitingInSlave() == 0; }));
    runFor(100);

    // The handler reads again: the first 1024 bytes, then the overflow, nothing else.
    rec.events.clear();
    rec.reading = true;
    std::string beforeOverflow;
    port_->onComm = [&] {
        rec.events.push_back(port_->commEvent());
        if (port_->commEvent() == platform::comm::EvReceive) rec.data += port_->input();
        if (port_->commEvent() == platform::comm::EvRxOver) beforeOverflow = rec.data;
    };
    send("z");  // dropped too: the buffer is still full when it arrives
    ASSERT_TRUE(runUntil([&] { return !beforeOverflow.empty(); }));
    EXPECT_EQ(beforeOverflow, flood.substr(0, TermiosCommPort::InBufferSize));
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), platform::comm::EvRxOver), 1);
    EXPECT_EQ(rec.events.back(), platform::comm::EvRxOver);

    rec.events.clear();
    send("y");
    ASSERT_TRUE(runUntil([&] { return rec.data.size() > TermiosCommPort::InBufferSize; }));
    runFor(50);
    EXPECT_EQ(rec.data.substr(TermiosCommPort::InBufferSize), "y");
    EXPECT_EQ(rec.events, std::vector<int16_t>{platform::comm::EvReceive});
}

TEST_F(SerialPort, HandlersAreNeverReenteredByANestedEventLoop) {
    int depth = 0, deepest = 0;
    std::string data;
    port_->onComm = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        data += port_->input();
        if (data == "a") {
            // As a modal message box does: more bytes arrive while its loop runs.
            send("cd");
            runFor(100);
        }
        --depth;
    };
    port_->setPortOpen(true);
    send("ab");
    ASSERT_TRUE(runUntil([&] { return data.size() >= 4; }));
    EXPECT_EQ(data, "abcd");
    EXPECT_EQ(deepest, 1);
}

TEST_F(SerialPort, ASecondOpenOfTheSameDeviceFailsNamingIt) {
    port_->setPortOpen(true);
    auto second = makePort();
    try {
        second->setPortOpen(true);
        ADD_FAILURE() << "second open succeeded";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::PortAlreadyOpen);
        EXPECT_NE(e.description().find("COM7"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find(slave_), std::string::npos) << e.description();
    }
    EXPECT_FALSE(second->portOpen());
    // The failed attempt leaves the first port's lock alone.
    EXPECT_EQ(readFile(lockFile()), lockText(::getpid()));
    // A port already open refuses another port number.
    EXPECT_THROW(port_->setCommPort(8), RuntimeError);
    EXPECT_THROW(port_->setPortOpen(true), RuntimeError);
}

TEST_F(SerialPort, ALiveLockFileBlocksAndAStaleOneIsReplaced) {
    Child holder;
    ASSERT_GT(holder.pid, 0);
    std::ofstream(lockFile()) << lockText(holder.pid);
    try {
        port_->setPortOpen(true);
        ADD_FAILURE() << "open despite a live lock";
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.description().find("COM7"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find(slave_), std::string::npos) << e.description();
        EXPECT_NE(e.description().find(std::to_string(holder.pid)), std::string::npos)
            << e.description();
    }
    EXPECT_FALSE(port_->portOpen());
    EXPECT_EQ(readFile(lockFile()), lockText(holder.pid));

    holder.stop();  // its lock file is now stale
    port_->setPortOpen(true);
    EXPECT_TRUE(port_->portOpen());
    EXPECT_EQ(readFile(lockFile()), lockText(::getpid()));
    port_->setPortOpen(false);

    // A lock file that names nobody is stale as well.
    std::ofstream(lockFile()) << "garbage\n";
    port_->setPortOpen(true);
    EXPECT_EQ(readFile(lockFile()), lockText(::getpid()));
}

TEST_F(SerialPort, OpenFailuresNameThePortAndLeaveNothingBehind) {
    fs::create_symlink(dir_ / "absent", "COM9");
    port_->setCommPort(9);
    try {
        port_->setPortOpen(true);
        ADD_FAILURE() << "opened an absent device";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::InvalidPortNumber);
        EXPECT_NE(e.description().find("COM9"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find((dir_ / "absent").string()), std::string::npos);
    }
    fs::create_symlink("/dev/null", "COM8");
    port_->setCommPort(8);
    try {
        port_->setPortOpen(true);
        ADD_FAILURE() << "opened a device that is not a terminal";
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.description().find("COM8"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(port_->portOpen());
    EXPECT_TRUE(fs::is_empty(lockDir_));

    EXPECT_THROW(port_->setCommPort(0), RuntimeError);
    EXPECT_THROW(port_->output("x"), RuntimeError);
    EXPECT_THROW(port_->input(), RuntimeError);
    EXPECT_THROW(port_->setInBufferCount(0), RuntimeError);
}

TEST_F(SerialPort, AHangUpClosesThePortQuietlyAndItCanBeReopened) {
    Recorder rec(*port_);
    port_->setPortOpen(true);
    send("ab");
    ASSERT_TRUE(runUntil([&] { return rec.data == "ab"; }));

    closeMaster();  // the adapter is pulled out
    const double cpuBefore = cpuSeconds();
    ASSERT_TRUE(runUntil([&] { return !port_->portOpen(); }));
    runFor(1000);
    // A port that kept polling a dead descriptor would burn the whole second.
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.5);
    EXPECT_FALSE(port_->portOpen());
    EXPECT_FALSE(fs::exists(lockFile()));
    EXPECT_THROW(port_->output("OK\r"), RuntimeError);

    // Plugged back in (a new device behind the same link), the port opens again.
    ASSERT_TRUE(openPty(7));
    port_->setPortOpen(true);
    send("c");
    ASSERT_TRUE(runUntil([&] { return rec.data == "abc"; }));
    port_->output("\r");
    EXPECT_EQ(received(1), "\r");
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
