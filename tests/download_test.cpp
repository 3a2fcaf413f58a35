#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "download/frame_check.h"
#include "main_window/vorbix_loader.h"
#include "tests/support/fakes.h"

namespace {

using platform::Icon;

// The frame check on its own. The encoder the simulator frames its records with meets it
// in every whole download and journal test.
TEST(FrameCheck, AcceptsOnlyLinesWhoseCountAndChecksumAgree) {
    const std::string ff(255, '\xFF');
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        // line, record
        {"02ST:7", "ST"},
        {"0612.3452=", "12.345"},
        {"02EN93", "EN"},
        {"0000", ""},
        {"02STZ7", "ST"},  // 'Z' is 0x5A: low nibble 10, like ':'
        {"02ST A7", {}},   // length
        {"02STA7", {}},    // "A" is 1, not 10: nibbles are not hexadecimal
        {"0?ST:7", {}},    // the count says more than the line holds
        {"", {}},
        {"000", {}},
        {"??" + ff + "01", ff},  // 8-bit sum
        {"??" + ff + "02", {}},
    };
    for (const auto& [line, record] : cases) {
        std::string_view rec;
        const bool passes = frame::check(line, &rec);
        EXPECT_EQ(passes ? std::optional<std::string>(rec) : std::nullopt, record) << line;
    }
}

struct Download : ::testing::Test, fake::Program {
    void SetUp() override {
        vl.PORT_NO = 1;
        vl.BPS_ = "57600";
        vl.OpenCommPort();
        comm.sent.clear();
        log.clear();
    }
    // Busy: all five transfer controls off and the hourglass; idle: all on, no hourglass.
    bool all(bool busy) {
        for (auto* n : {"PORT_SET", "down_load", "FILE_SAVE", "FILE_LOAD"})
            if (form.fbutton(n).enabled() == busy) return false;
        return form.checkBox("AND_CLR").enabled() != busy &&
               form.pointer == (busy ? platform::PointerHourglass : platform::PointerDefault);
    }
    bool busy() { return all(true); }
    bool idle() { return all(false); }
    size_t indexOf(const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    }
};

// The input is emptied before the command goes out: a stale byte would spoil the first reply.
TEST_F(Download, StartClearsAndSendsTheCommandTheCheckBoxAsksForBusy) {
    text.value = "old\r\n";
    vl.down_load_Click();
    EXPECT_TRUE(busy());
    EXPECT_TRUE(vl.Timer1.enabled());
    EXPECT_EQ(text.value, "");
    EXPECT_LT(indexOf("InBufferCount=0"), indexOf("Output=DOWN\r"));
    form.checkBox("AND_CLR").setValue(1);
    comm.sent.clear();
    vl.down_load_Click();
    EXPECT_EQ(comm.sent, "CLDWN\r");
}

TEST_F(Download, RepliesBeforeListingAndFinishesIdleBeforeTheBox) {
    vl.down_load_Click();
    log.clear();
    comm.receive("02ST:7\r0612.3452=\r");
    EXPECT_EQ(text.value, "12.345\r\n");
    EXPECT_LT(indexOf("Output=OK\r"), indexOf("Text1.insert=12.345\r\n"));
    ASSERT_TRUE(busy());
    bool idleAtBox = false;
    ui.onMsgBox = [&] { idleAtBox = idle() && !vl.Timer1.enabled(); };
    log.clear();
    comm.receive("02EN93\r");
    EXPECT_EQ(comm.sent, "DOWN\rOK\rOK\rOK\r");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "!! Down load end !!");
    EXPECT_EQ(ui.boxes[0].icon, Icon::None);
    EXPECT_TRUE(idleAtBox);
    EXPECT_EQ(log.front(), "Output=OK\r");
}

TEST_F(Download, BadLinesAndLineErrorsAreAnsweredErAndNotListed) {
    vl.down_load_Click();
    comm.sent.clear();
    comm.receive("0612.345\n2=\r");  // LF before the CR is part of the line
    comm.receive("0612.3452=\r\n");  // LF after the CR starts the next line...
    comm.receive("02ST:7\r");        // ...which then fails
    comm.receive("\r0000\r");        // empty line; empty payload listed as an empty line
    comm.receive("02st>7\r");        // lower case: a lap
    EXPECT_EQ(comm.sent, "ER\rOK\rER\rER\rOK\rOK\r");
    EXPECT_EQ(text.value, "12.345\r\n\r\nst\r\n");
    comm.sent.clear();
    // Parity marks the line being received, as framing and overrun do (the receive fuzz
    // target's check); other events do not.
    for (auto [code, replies] : {std::pair<int16_t, const char*>{1009, "ER\rOK\r"},
                                 {1002, "OK\rOK\r"},
                                 {1008, "OK\rOK\r"},
                                 {7, "OK\rOK\r"}}) {
        comm.lineError(code);
        comm.receive("0612.3452=\r0612.3452=\r");
        EXPECT_EQ(comm.sent, replies) << code;
        comm.sent.clear();
    }
}

TEST_F(Download, OverlongLineIsCappedAndAMaximalFrameStillPasses) {
    vl.down_load_Click();
    comm.sent.clear();
    comm.receive(std::string(100000, '7'));
    EXPECT_EQ(vl.RxLine.size(), VorbixLoader::RxLineLimit);
    comm.receive("\r??" + std::string(255, 'a') + "9?\r");  // 255 * 97 AND 255 = 159
    EXPECT_EQ(comm.sent, "ER\rOK\r");
}

TEST_F(Download, LinesWhileIdleAreStillAnsweredAndListed) {
    comm.receive("0612.3452=\r02EN93\r");
    EXPECT_EQ(comm.sent, "OK\rOK\r");
    EXPECT_EQ(text.value, "12.345\r\n");
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(Download, WatchdogEndsSixtyTicksAfterStartOrLastCr) {
    vl.down_load_Click();
    for (int i = 0; i < 59; ++i) vl.Timer1_Timer();
    comm.receive("0612.3452=\r");  // reloads
    for (int i = 0; i < 59; ++i) vl.Timer1_Timer();
    comm.receive(std::string(500, '1'));  // characters without CR do not reload
    EXPECT_TRUE(ui.boxes.empty());
    bool busyAtBox = false;
    ui.onMsgBox = [&] { busyAtBox = busy() && !vl.Timer1.enabled(); };
    vl.Timer1_Timer();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, " !! Time over !!");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Critical);
    EXPECT_TRUE(busyAtBox);
    EXPECT_TRUE(idle());
    EXPECT_EQ(text.value, "12.345\r\n");
}

// A step that fails has no effect and the receive handler goes on: nothing escapes it.
TEST_F(Download, FailingRepliesOrListingStillEndTheDownload) {
    for (const bool listingFails : {false, true}) {
        vl.down_load_Click();
        comm.failOutput = !listingFails;
        text.room = listingFails ? 0 : 1 << 30;
        comm.receive("0612.3452=\r02EN93\r");
        EXPECT_EQ(text.value, listingFails ? "" : "12.345\r\n");
        EXPECT_TRUE(idle());
        EXPECT_EQ(ui.boxes.back().text, "!! Down load end !!");
        comm.failOutput = false;
    }
}

// Closing the window during a download: no watchdog may fire into the ending program.
TEST_F(Download, ClosingDuringADownloadStopsTheWatchdogClosesThePortAndEnds) {
    vl.down_load_Click();
    vl.Form_Unload();
    EXPECT_FALSE(vl.Timer1.enabled());
    EXPECT_FALSE(comm.open);
    EXPECT_TRUE(ui.ended);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Download, StartReopensALostLinkAndAFailedStartKeepsTheRecords) {
    comm.open = false;  // hung up
    vl.down_load_Click();
    EXPECT_EQ(comm.sent, "\rDOWN\r");
    EXPECT_TRUE(busy());

    for (bool failOpen : {true, false}) {
        text.value = "12.345\r\n";
        comm.open = !failOpen;
        comm.failOpen = failOpen;
        comm.failOutput = !failOpen;  // fails after the text was cleared
        vl.down_load_Click();
        EXPECT_EQ(ui.boxes.back().icon, Icon::Critical);
        EXPECT_EQ(text.value, "12.345\r\n");
        EXPECT_FALSE(vl.Timer1.enabled());
        EXPECT_TRUE(idle());
    }
}

}  // namespace
