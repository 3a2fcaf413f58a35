// The simulated logger's rules that the whole-download tests and the benchmarks build on.
#include <gtest/gtest.h>

#include "download/frame_check.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/protocol.h"

namespace {

// Feeds a host line and its CR; returns what the logger sends in answer.
std::string line(sim::Protocol& p, const std::string& text) {
    for (char c : text) p.feed(c);
    return p.feed('\r').out;
}

TEST(LoggerProtocol, GivesUpAFrameAfterTheResendLimitAndPlaysFaultsInTheFirstDownloadOnly) {
    sim::Options o;
    o.count = 3;
    o.maxResend = 2;
    o.badChecksum = {1};
    o.lfAfter = {2};
    o.stallAfter = 3;
    sim::Protocol p(o, sim::lapRecords(o.count, o.session));
    const auto clean = [&](int i) { return p.frameLine(i) + "\r"; };

    EXPECT_EQ(line(p, "DOWN"), clean(0));
    const std::string bad = line(p, "OK");
    EXPECT_EQ(bad.size(), clean(1).size());
    EXPECT_FALSE(frame::check(bad.substr(0, bad.size() - 1)));
    EXPECT_EQ(line(p, "ER"), clean(1));
    EXPECT_EQ(line(p, "ER"), clean(1));
    EXPECT_EQ(line(p, "ER"), clean(2) + "\n");  // a third refusal gives frame 1 up
    EXPECT_EQ(line(p, "ER"), clean(2));         // the count starts again
    EXPECT_EQ(line(p, "OK"), "");               // three frames answered: silence
    EXPECT_EQ(p.state(), sim::Protocol::State::Stalled);

    // A new command starts over, and this download is clean to the end.
    EXPECT_EQ(line(p, "DOWN"), clean(0));
    for (int i = 1; i <= o.count + 1; ++i) EXPECT_EQ(line(p, "OK"), clean(i));
    EXPECT_EQ(line(p, "OK"), "");
    EXPECT_EQ(p.state(), sim::Protocol::State::Idle);
}

}  // namespace
