#include <gtest/gtest.h>

#include <set>

#include "download/frame_check.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/protocol.h"

namespace {

using sim::Options;
using sim::Protocol;

// Feeds a host line and its CR; returns the step of the CR.
Protocol::Step line(Protocol& p, const std::string& text) {
    for (char c : text) {
        const auto s = p.feed(c);
        EXPECT_TRUE(s.out.empty()) << "output before the CR of " << text;
    }
    return p.feed('\r');
}

// Answers every frame OK until the download ends; returns the records received.
std::vector<std::string> acceptAll(Protocol& p, Protocol::Step s) {
    std::vector<std::string> got;
    for (int guard = 0; guard < 10000 && !s.ended; ++guard) {
        EXPECT_TRUE(s.awaitReply);
        EXPECT_EQ(s.out.back(), '\r');
        std::string_view rec;
        EXPECT_TRUE(frame::check(std::string_view(s.out).substr(0, s.out.size() - 1), &rec))
            << s.out;
        got.emplace_back(rec);
        s = line(p, "OK");
    }
    return got;
}

std::vector<std::string> expected(const Options& o) {
    std::vector<std::string> v{"ST"};
    for (auto& r : sim::lapRecords(o.count, o.session)) v.push_back(r);
    v.push_back("EN");
    return v;
}

TEST(LapRecords, RepeatablePrintableVariedAndNeverStartOrEnd) {
    const auto a = sim::lapRecords(500, 7);
    EXPECT_EQ(a, sim::lapRecords(500, 7));
    EXPECT_NE(a, sim::lapRecords(500, 8));
    ASSERT_EQ(a.size(), 500u);
    std::set<std::string> distinct(a.begin(), a.end());
    EXPECT_GT(distinct.size(), 400u);
    bool under = false, over = false;
    for (const auto& r : a) {
        ASSERT_FALSE(r.empty());
        for (unsigned char c : r) ASSERT_TRUE(c >= 0x20 && c < 0x7f) << r;
        EXPECT_EQ(frame::kindOf(r), frame::Kind::Lap) << r;
        const std::string line = frame::encode(r);
        std::string_view back;
        ASSERT_TRUE(frame::check(line, &back));
        EXPECT_EQ(back, r);
        (r.find(':') == std::string::npos ? under : over) = true;
    }
    EXPECT_TRUE(under && over) << "both lap time forms should occur";
    EXPECT_TRUE(sim::lapRecords(0, 1).empty());
    EXPECT_EQ(sim::lapRecords(3, 1).size(), 3u);
}

TEST(Protocol, CleanDownloadSendsStartLapsEndEachAwaitingAReply) {
    Options o;
    o.count = 5;
    Protocol p(o, sim::lapRecords(o.count, o.session));
    auto s = line(p, "DOWN");
    EXPECT_TRUE(s.started);
    EXPECT_EQ(s.out, "02ST:7\r");
    EXPECT_EQ(acceptAll(p, s), expected(o));
    EXPECT_EQ(p.state(), Protocol::State::Idle);
    // The next command serves the same records again.
    EXPECT_EQ(acceptAll(p, line(p, "DOWN")), expected(o));
    EXPECT_EQ(p.downloads(), 2);
}

TEST(Protocol, IgnoresLoneCrUnknownLinesAndStrayReplies) {
    Options o;
    o.count = 2;
    Protocol p(o, sim::lapRecords(o.count, o.session));
    EXPECT_TRUE(p.feed('\r').out.empty());  // the host's CR at port open
    EXPECT_TRUE(line(p, "OK").out.empty());
    EXPECT_TRUE(line(p, "down").out.empty());
    EXPECT_TRUE(line(p, std::string(1000, 'x')).out.empty());
    auto s = line(p, "DOWN");
    EXPECT_EQ(s.out, "02ST:7\r");
    // Garbage while a reply is due leaves the frame waiting.
    EXPECT_TRUE(line(p, "O K").out.empty());
    EXPECT_TRUE(p.feed('\r').out.empty());
    EXPECT_EQ(p.state(), Protocol::State::AwaitReply);
    EXPECT_EQ(acceptAll(p, line(p, "OK")).size(), 3u);  // two laps and the end
}

TEST(Protocol, ErResendsTheSameFrameUpToTheLimitThenMovesOn) {
    Options o;
    o.count = 2;
    o.maxResend = 2;
    Protocol p(o, sim::lapRecords(o.count, o.session));
    line(p, "DOWN");
    const auto lap1 = line(p, "OK");
    EXPECT_EQ(line(p, "ER").out, lap1.out);
    EXPECT_EQ(line(p, "ER").out, lap1.out);
    const auto next = line(p, "ER");  // third refusal: give up on lap 1
    EXPECT_EQ(next.out, p.frameLine(2) + "\r");
    // The count restarts for the next frame.
    EXPECT_EQ(line(p, "ER").out, next.out);
}

TEST(Protocol, CorruptFirstTransmissionsOnlyInTheFirstDownload) {
    Options o;
    o.count = 4;
    o.badChecksum = {0, 2};
    o.lfBefore = {3};
    o.lfAfter = {4};
    Protocol p(o, sim::lapRecords(o.count, o.session));

    auto s = line(p, "DOWN");
    EXPECT_FALSE(frame::check(s.out.substr(0, s.out.size() - 1)));
    EXPECT_EQ(s.out.size(), 7u);  // only the checksum differs
    s = line(p, "ER");
    EXPECT_EQ(s.out, "02ST:7\r");
    s = line(p, "OK");  // lap 1, clean
    EXPECT_EQ(s.out, p.frameLine(1) + "\r");
    s = line(p, "OK");  // lap 2, bad checksum
    EXPECT_FALSE(frame::check(s.out.substr(0, s.out.size() - 1)));
    EXPECT_EQ(line(p, "ER").out, p.frameLine(2) + "\r");
    s = line(p, "OK");  // lap 3, LF before CR
    EXPECT_EQ(s.out, p.frameLine(3) + "\n\r");
    EXPECT_EQ(line(p, "ER").out, p.frameLine(3) + "\r");
    s = line(p, "OK");  // lap 4, LF after CR
    EXPECT_EQ(s.out, p.frameLine(4) + "\r\n");
    EXPECT_TRUE(s.awaitReply);

    // The second download is clean throughout.
    EXPECT_EQ(acceptAll(p, line(p, "DOWN")), expected(o));
}

TEST(Protocol, StallsAndHangUpsFollowTheAnsweredFrameCount) {
    Options o;
    o.count = 5;
    {
        Options f = o;
        f.noCr = 2;
        Protocol p(f, sim::lapRecords(f.count, f.session));
        line(p, "DOWN");
        line(p, "OK");
        const auto s = line(p, "OK");
        EXPECT_EQ(s.out, p.frameLine(2));  // no CR
        EXPECT_FALSE(s.awaitReply);
        EXPECT_EQ(p.state(), Protocol::State::Stalled);
        EXPECT_TRUE(line(p, "ER").out.empty());
        EXPECT_TRUE(line(p, "OK").out.empty());
        EXPECT_EQ(acceptAll(p, line(p, "DOWN")), expected(o));  // a new command recovers
    }
    {
        Options f = o;
        f.stallAfter = 3;
        Protocol p(f, sim::lapRecords(f.count, f.session));
        line(p, "DOWN");
        line(p, "OK");
        line(p, "OK");
        EXPECT_TRUE(line(p, "OK").out.empty());
        EXPECT_EQ(p.state(), Protocol::State::Stalled);
        EXPECT_EQ(acceptAll(p, line(p, "DOWN")), expected(o));
    }
    {
        Options f = o;
        f.stallAfter = 0;
        Protocol p(f, sim::lapRecords(f.count, f.session));
        EXPECT_TRUE(line(p, "DOWN").out.empty());
        EXPECT_EQ(p.state(), Protocol::State::Stalled);
    }
    {
        Options f = o;
        f.hangupAfter = 2;
        Protocol p(f, sim::lapRecords(f.count, f.session));
        line(p, "DOWN");
        EXPECT_FALSE(line(p, "OK").hangup);
        EXPECT_TRUE(line(p, "OK").hangup);
        EXPECT_EQ(p.state(), Protocol::State::HungUp);
        EXPECT_TRUE(line(p, "DOWN").out.empty());  // nothing after a hang-up
    }
}

TEST(Protocol, ClearCommandEmptiesTheLapsOnlyOnceItsDownloadEnds) {
    Options o;
    o.count = 3;
    Protocol p(o, sim::lapRecords(o.count, o.session));
    line(p, "CLDWN");
    line(p, "OK");
    // Interrupted by a new command, which starts over: nothing is cleared.
    EXPECT_EQ(acceptAll(p, line(p, "DOWN")), expected(o));
    EXPECT_EQ(acceptAll(p, line(p, "CLDWN")), expected(o));
    EXPECT_EQ(p.laps(), 0u);
    EXPECT_EQ(acceptAll(p, line(p, "DOWN")), (std::vector<std::string>{"ST", "EN"}));
}

}  // namespace
