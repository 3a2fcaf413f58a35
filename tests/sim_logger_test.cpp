#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "download/frame_check.h"
#include "tools/sim/child.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/logger.h"

namespace {

using sim::Logger;

// The simplest host: reads CR-ended lines, answers them by the frame check.
struct Host {
    int fd;
    std::string pending = {};

    // The next line without its CR, or nullopt when the line ends or nothing comes in time.
    std::optional<std::string> readLine(int timeoutMs = 5000) {
        for (;;) {
            const size_t cr = pending.find('\r');
            if (cr != std::string::npos) {
                std::string l = pending.substr(0, cr);
                pending.erase(0, cr + 1);
                return l;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            pending.append(buf, static_cast<size_t>(n));
        }
    }
    void send(const std::string& s) {
        ASSERT_EQ(::write(fd, s.data(), s.size()), ssize_t(s.size()));
    }

    struct Result {
        std::vector<std::string> records;  // accepted, start and end included
        int rejected = 0;
        bool ended = false;
    };
    Result download(const std::string& command = "DOWN") {
        Result r;
        send(command + "\r");
        while (auto l = readLine()) {
            std::string_view rec;
            if (!frame::check(*l, &rec)) {
                ++r.rejected;
                send("ER\r");
                continue;
            }
            send("OK\r");
            r.records.emplace_back(rec);
            if (frame::kindOf(rec) == frame::Kind::End) {
                r.ended = true;
                break;
            }
        }
        return r;
    }
};

std::vector<std::string> expected(int count, uint64_t session) {
    std::vector<std::string> v{"ST"};
    for (auto& r : sim::lapRecords(count, session)) v.push_back(r);
    v.push_back("EN");
    return v;
}

TEST(Logger, DownloadsOverASocketWithFaultsAndCountsEveryExchange) {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
    Host host{sv[0]};
    sim::Options o;
    o.count = 50;
    o.session = 3;
    o.badChecksum = {0, 10};
    o.lfBefore = {20};
    o.lfAfter = {30};
    sim::LoggerThread s(sim::Line(sv[1]), o);

    host.send("\r");  // the host's CR at port open is ignored
    auto r = host.download();
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.records, expected(o.count, o.session));
    EXPECT_EQ(r.rejected, 4);  // three bad frames, and the one after the stray LF

    r = host.download();
    EXPECT_EQ(r.rejected, 0);
    EXPECT_EQ(r.records, expected(o.count, o.session));

    // The last "OK" may still be on its way.
    for (int i = 0; i < 500 && s.stats().downloadNs.size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(s.finish(), Logger::End::Stopped);
    const sim::Stats st = s.stats();
    EXPECT_EQ(st.downloads, 2);
    EXPECT_EQ(st.downloadNs.size(), 2u);
    // Every transmission was answered: 52 frames twice, and four resends.
    EXPECT_EQ(st.replyNs.size(), 2u * 52 + 4);
    EXPECT_EQ(st.bytesIn, 1 + 2 * 5 + 3 * st.replyNs.size());
    const auto e = expected(o.count, o.session);
    size_t clean = 0;
    for (auto& rec : e) clean += rec.size() + 5;  // count, checksum, CR
    // The resends, plus one LF before and one after a CR.
    const size_t resent = 7 + (e[10].size() + 5) + (e[20].size() + 5) + (e[31].size() + 5) + 2;
    EXPECT_EQ(st.bytesOut, 2 * clean + resent);
    ::close(sv[0]);
}

TEST(Logger, EndsWhenTheFarEndGoesAwayOrOnceIsDone) {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
    sim::LoggerThread lost(sim::Line(sv[1]), sim::Options{});
    ::close(sv[0]);
    EXPECT_EQ(lost.join(), Logger::End::LineLost);

    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
    sim::Options o;
    o.count = 2;
    o.once = true;
    sim::LoggerThread once(sim::Line(sv[1]), o);
    Host host{sv[0]};
    EXPECT_TRUE(host.download().ended);
    EXPECT_EQ(once.join(), Logger::End::Once);
    ::close(sv[0]);
}

int openPeer(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

TEST(Logger, PtyKeepsServingAcrossHostReopensAndHangsUpOnRequest) {
    sim::Line line = sim::openPty();
    const std::string path = line.peerPath();
    ASSERT_TRUE(std::filesystem::exists(path));
    sim::Options o;
    o.count = 30;
    o.hangupAfter = 11;
    sim::LoggerThread s(std::move(line), o);

    // The host opens, closes and reopens its port before downloading.
    int fd = openPeer(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    fd = openPeer(path);
    ASSERT_GE(fd, 0);
    Host host{fd};
    // CR must reach the host unchanged: a CR-to-LF mapping would hide every line end.
    const auto r = host.download();
    EXPECT_FALSE(r.ended);
    EXPECT_EQ(r.records.size(), 11u);
    EXPECT_EQ(s.join(), Logger::End::HungUp);
    // The host sees the hang-up as the end of its reads, not as silence.
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
    char c;
    EXPECT_LE(::read(fd, &c, 1), 0);
    ::close(fd);
}

TEST(Logger, PacedLineCarriesTheSameBytes) {
    sim::Line line = sim::openPty();
    const int fd = openPeer(line.peerPath());
    ASSERT_GE(fd, 0);
    sim::Options o;
    o.count = 10;
    o.pace = 115200;
    o.badChecksum = {4};
    sim::LoggerThread s(std::move(line), o);
    Host host{fd};
    const auto r = host.download();
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.records, expected(o.count, o.session));
    EXPECT_EQ(r.rejected, 1);
    ::close(fd);
}

#ifdef LOGGER_SIM
TEST(LoggerSimProgram, ServesAPtyPrintsFiguresAndRejectsBadOptions) {
    sim::Child child(LOGGER_SIM,
                     {"--count=5", "--session=9", "--bad-checksum=2", "--once", "--stats"});
    const int fd = openPeer(child.firstLine());
    ASSERT_GE(fd, 0) << child.firstLine();
    Host host{fd};
    const auto r = host.download();
    EXPECT_EQ(r.records, expected(5, 9));
    EXPECT_EQ(r.rejected, 1);
    std::string out;
    EXPECT_EQ(child.wait(5000, &out), 0);
    EXPECT_NE(out.find("downloads 1 "), std::string::npos) << out;
    EXPECT_NE(out.find("reply_us p50 "), std::string::npos) << out;
    ::close(fd);

    // Stopped by its process id while waiting, it ends cleanly.
    sim::Child idle(LOGGER_SIM, {});
    idle.terminate();
    EXPECT_EQ(idle.wait(5000), 0);

    for (const char* bad : {"--count=x", "--pace", "--frobnicate=1", "--bad-checksum=1,,2"}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(fds[1], 2);
            execl(LOGGER_SIM, LOGGER_SIM, bad, static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        char buf[4096];
        while (::read(fds[0], buf, sizeof buf) > 0) {
        }
        ::close(fds[0]);
        int st = 0;
        ASSERT_EQ(waitpid(pid, &st, 0), pid);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 2) << bad;
    }
}
#endif

}  // namespace
