// The recovery journal on fakes: what it holds and when, what start-up offers back, and
// how the program carries on when it cannot be written. Then the real file, also when it
// cannot grow (Linux only).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>

#include "download/frame_check.h"
#include "main_window/vorbix_loader.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

using platform::Answer;

const std::string H(Journal::Header);

std::string lap(const std::string& record) {
    return frame::encode(record) + "\r";
}

// Made before the program that uses them: its working folder and a fake journal file.
struct Folder {
    support::ScratchDir dir;
    fake::JournalFile jf{nullptr};
};

// The program on fakes in a working folder of its own whose PORT.DAT names COM1, with the
// fake journal file or the one given.
struct Loader : Folder, fake::Program {
    explicit Loader(platform::JournalFile* file = nullptr) : fake::Program(file ? file : &jf) {
        jf.log = &log;
        clock.ms = 0;
        std::ofstream("PORT.DAT") << "1\r\n\"57600\"\r\n\"" << dir.path() << "\"\r\n";
    }
    void start() {
        if (!comm.open) vl.Form_Load(), comm.sent.clear();
        vl.down_load_Click();
        comm.receive(frame::encode("ST") + "\r");
    }
    void end() { comm.receive(frame::encode("EN") + "\r"); }
    // Where `entry` is first logged, from `from` on.
    size_t at(const std::string& entry, size_t from = 0) const {
        return std::find(log.begin() + from, log.end(), entry) - log.begin();
    }
    // "file save" or "file load" of `name` in the working folder.
    void file(const std::string& caption, const std::string& name) {
        ui.operators[caption] = [name](fake::Form& f) {
            f.ftext("Text1").setText(name);
            f.fbutton("Command1").onClick();
        };
        caption == " SAVE" ? vl.FILE_SAVE_Click() : vl.FILE_LOAD_Click();
    }
};

struct Journalled : ::testing::Test, Loader {};

TEST_F(Journalled, EachRecordIsKeptBeforeItsOkAndForcedToDiskAtLeastOnceASecond) {
    start();
    ASSERT_EQ(jf.bytes, H);  // started empty with the download
    for (int i = 0; i < 10; ++i) {
        clock.ms += 300;
        comm.receive(lap("00" + std::to_string(i)));
    }
    EXPECT_EQ(log[at("journal+009\r\n") + 1], "Output=OK\r");
    EXPECT_EQ(*jf.bytes, H + text.value);
    EXPECT_EQ(jf.syncs, 2);  // at 1.2 s and 2.4 s, not per record
    // Records stop: the watchdog's tick forces the rest within the second.
    for (int i = 0; i < 9; ++i) vl.Timer1_Timer();
    clock.ms += 1000;
    vl.Timer1_Timer();
    EXPECT_EQ(jf.synced, *jf.bytes);
    comm.receive(lap("late"));
    end();
    EXPECT_EQ(jf.synced, H + text.value);
    // ...before the end record's "OK", after which the logger may erase its laps.
    EXPECT_EQ(log[at("journal synced", at("journal+late\r\n")) + 1], "Output=OK\r");
    // Time over forces them too.
    vl.down_load_Click();
    comm.receive(lap("a"));
    for (int i = 0; i < VorbixLoader::TimeoutReload; ++i) vl.Timer1_Timer();
    EXPECT_EQ(jf.synced, H + "a\r\n");
}

// After a download, what an end the operator did not choose (a signal, a log-out) leaves.
// A save removing the journal and a closed window leaving none are the crash journal
// end-to-end test's.
TEST(Journal, KeptWhileRecordsAreUnsavedAndRemovedOnceTheyAreNot) {
    struct Case {
        const char* what;
        std::function<void(Loader&)> act;
        std::optional<std::string> left;
    };
    const Case cases[] = {
        {"unsaved", [](Loader&) {}, H + "a\r\nb\r\n"},
        {"saved, then one more", [](Loader& r) { r.file(" SAVE", "s"), r.comm.receive(lap("c")); },
         H + "a\r\nb\r\nc\r\n"},
        // A load leaves nothing unsaved; the next record brings what the text then holds.
        {"loaded", [](Loader& r) { r.file(" SAVE", "s"), r.file(" LOAD", "s"); }, std::nullopt},
        {"loaded, then one more",
         [](Loader& r) { r.file(" SAVE", "s"), r.file(" LOAD", "s"), r.comm.receive(lap("c")); },
         H + "a\r\nb\r\n\r\nc\r\n"},
        {"new download without records", [](Loader& r) { r.vl.down_load_Click(); }, std::nullopt},
    };
    for (const auto& c : cases) {
        Loader r;
        r.start();
        r.comm.receive(lap("a") + lap("b"));
        r.end();
        c.act(r);
        r.vl.Form_Unload(VorbixLoader::EndedBy::System);
        EXPECT_EQ(r.jf.bytes, c.left) << c.what;
        EXPECT_EQ(r.jf.synced, r.jf.bytes.value_or("")) << c.what;
    }
}

// Yes restoring the records byte for byte and No deleting them are also the crash journal
// end-to-end test's.
TEST(Journal, LeftOverRecordsAreOfferedBeforeTheLinkOpensWithYesTheDefault) {
    const std::string whole = "1  12.345\r\n" + std::string("\0\x80\xff", 3) + "\r\n\r\n";
    struct Case {
        std::string journal;
        std::optional<Answer> answer;  // nullopt: no question
        std::string shown;
        std::optional<std::string> kept;
    };
    const Case cases[] = {
        {H + whole + "2  13.0", Answer::Yes, whole, H + whole},     // a torn last record
        {H + whole + "2  13.0\r", std::nullopt, whole, H + whole},  // defaults to Yes
        {H + whole, Answer::No, "", std::nullopt},
        {H, std::nullopt, "", std::nullopt},
        {H + "2  13.0", std::nullopt, "", std::nullopt},
        {"VorbixLoader journal 9\r\n" + whole, std::nullopt, "", std::nullopt},
    };
    for (const auto& c : cases) {
        Loader r;
        r.jf.bytes = c.journal;
        const bool asked = c.answer || c.kept;
        if (c.answer) r.ui.answers.push_back(*c.answer);
        r.vl.Form_Load();
        ASSERT_EQ(r.ui.boxes.size(), asked ? 1u : 0u) << c.journal;
        if (asked) {
            EXPECT_EQ(r.ui.boxes[0].text, "!! unsaved records found, restore? !!");
            EXPECT_EQ(r.ui.boxes[0].buttons, platform::Buttons::YesNoDefaultYes);
            EXPECT_LT(r.at("msgbox " + r.ui.boxes[0].text), r.at("PortOpen=true"));
        }
        EXPECT_EQ(r.text.value, c.shown) << c.journal;
        EXPECT_EQ(r.jf.bytes, c.kept) << c.journal;
    }
}

TEST(JournalFile, TakesRecordsWhileSyncingInTheBackgroundAndReadsThemBackWhole) {
    support::ScratchDir dir;
    std::string all(Journal::Header);
    {
        auto file = platform::systemJournalFile("j");
        file->start(all);
        for (int i = 0; i < 200; ++i) {
            if (i % 10 == 0) file->startSync();
            const std::string record = std::to_string(i) + "\r\n";
            file->append(record);
            all += record;
        }
        file->startSync();  // still under way as the file goes
    }
    auto file = platform::systemJournalFile("j");
    EXPECT_EQ(file->read(), all);
    file->start(Journal::Header);  // over the old one (hidden, on Windows)
    file->append("x\r\n");
    file->sync();
    EXPECT_EQ(file->read(), H + "x\r\n");
    file->remove();
    EXPECT_EQ(file->read(), std::nullopt);
}

#ifndef _WIN32
// The real file when it cannot grow (a file size limit, which binds root too, as a full
// disk would), in two downloads: the operator is told once, every record is still listed
// and answered, and the file keeps whole records, the first ones.
TEST(JournalFile, WhenItCannotGrowThatIsToldOnceAndEveryRecordIsStillListed) {
    std::string laps, records, oks = "DOWN\rOK\rOK\r";  // the start and end records'
    for (int i = 0; i < 1000; ++i) {
        const std::string record = std::to_string(i) + std::string(90, '.');
        laps += lap(record);
        records += record + "\r\n";
        oks += "OK\r";
    }
    auto file = platform::systemJournalFile(Journal::FileName);  // in the folder of r
    Loader r(file.get());
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const rlimit small{16 * 1024, before.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string told;
    for (int round = 0; round < 2; ++round) {
        r.comm.sent.clear();
        r.start();
        r.comm.receive(laps);
        r.end();
        EXPECT_EQ(r.comm.sent, oks);
        EXPECT_TRUE(r.text.value == records);
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    for (const auto& box : r.ui.boxes) told += box.text + "|";
    EXPECT_EQ(told, "!! crash protection is off: " + std::string(Journal::FileName) + ": " +
                        std::strerror(EFBIG) + " !!|!! Down load end !!|!! Down load end !!|");
    const std::string left = Journal(file.get(), r.clock).leftOver();
    EXPECT_GT(left.size(), 10000u);
    EXPECT_EQ(records.rfind(left, 0), 0u);
}
#endif

}  // namespace
