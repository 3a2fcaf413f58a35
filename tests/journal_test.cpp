// The recovery journal on fakes: what it holds and when, what start-up offers back or
// keeps unread, how the program carries on when it cannot be written, and a shut-down in
// a nested loop changing nothing after it. Then the real file: what the test puts at its
// name (links, a pipe, a huge file), and when it cannot grow (Linux only).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "download/frame_check.h"
#include "main_window/vorbix_loader.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

using platform::Answer;

const std::string H(Journal::Header);

// An entry of the journal: its head line, then `piece`.
std::string E(const std::string& piece) {
    return Journal::entryHead(piece) + piece;
}

std::string lap(const std::string& record) {
    return frame::encode(record) + "\r";
}

// Made before the program that uses them: its working folder and a fake journal file.
struct Folder {
    support::ScratchDir dir;
    fake::JournalFile jf;
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
        if (!comm.open) vl.Form_Load();
        comm.sent.clear();
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
    for (int i = 0; i < 10; ++i) {
        clock.ms += 300;
        comm.receive(lap("00" + std::to_string(i)));
    }
    EXPECT_EQ(log[at("journal+" + E("009\r\n")) + 1], "Output=OK\r");
    EXPECT_EQ(std::count(log.begin(), log.end(), "journal sync started"), 2);  // at 1.2 s, 2.4 s
    // Records stop: the watchdog's tick forces the rest within the second.
    for (int i = 0; i < 9; ++i) vl.Timer1_Timer();
    clock.ms += 1000;
    vl.Timer1_Timer();
    EXPECT_EQ(jf.syncing, *jf.bytes);
    // The last lap starts a sync that does not return (a slow disk): the end record's
    // "OK", after which the logger may erase its laps, still waits for one that does.
    clock.ms += 1000;
    comm.receive(lap("late"));
    ASSERT_EQ(jf.syncing, *jf.bytes);
    end();
    ASSERT_EQ(jf.synced, *jf.bytes);
    EXPECT_EQ(log[at("journal synced", at("journal+" + E("late\r\n"))) + 1], "Output=OK\r");
    // Time over forces them too.
    vl.down_load_Click();
    comm.receive(lap("a"));
    for (int i = 0; i < VorbixLoader::TimeoutReload; ++i) vl.Timer1_Timer();
    EXPECT_EQ(jf.synced, H + E("a\r\n"));
}

// A power cut at any moment of a download: the journal's writes and syncs are recorded,
// and the program restarts on each file the disk may hold then (what the last sync left,
// with any part of the entry written after it). It offers back exactly the records of the
// whole entries, which hold every lap answered "OK" more than a sync interval before, and
// keeps a torn entry aside.
TEST(JournalCrash, EachCutRestoresTheWholeEntriesAndEveryLapOlderThanASyncInterval) {
    struct Recorder : fake::JournalFile {
        const fake::Clock* clock = nullptr;
        std::vector<std::pair<int64_t, size_t>> disk;  // when a sync returned, the size it left
        std::vector<size_t> ends;                      // the size after each append
        void start(std::string_view head, std::string_view rest) override {
            fake::JournalFile::start(head, rest);
            disk.emplace_back(clock->ms, synced.size());
        }
        void append(std::string_view b) override {
            fake::JournalFile::append(b);
            ends.push_back(bytes->size());
        }
        void sync() override {
            fake::JournalFile::sync();
            disk.emplace_back(clock->ms, synced.size());
        }
        void startSync() override { sync(); }  // returns within the interval
    } file;
    Loader r(&file);
    file.clock = &r.clock, file.log = &r.log;
    std::vector<std::pair<int64_t, std::string>> answered;  // when, the text up to that lap
    r.start();
    for (int i = 0; i < 30; ++i) {
        r.clock.ms += 170;
        r.comm.receive(lap(std::to_string(i * 37) + " 1:02.3" + std::string(i % 4, '4')));
        answered.emplace_back(r.clock.ms, r.text.value);
    }
    r.end();
    const std::string all = *file.bytes;
    ASSERT_EQ(file.ends.size(), answered.size());
    for (size_t k = 0; k < file.disk.size(); ++k) {
        const auto& [synced, size] = file.disk[k];
        // Cut any time before the next sync returns, inside the entry written after it.
        const int64_t cut = k + 1 < file.disk.size() ? file.disk[k + 1].first : synced;
        const auto next = std::upper_bound(file.ends.begin(), file.ends.end(), size);
        for (size_t end = size; end <= (next == file.ends.end() ? size : *next); ++end) {
            Loader again;
            again.jf.bytes = all.substr(0, end);
            again.vl.Form_Load();
            const auto whole = std::upper_bound(file.ends.begin(), file.ends.end(), end);
            const size_t n = whole - file.ends.begin();
            EXPECT_EQ(again.text.value, n ? answered[n - 1].second : "") << end;
            EXPECT_EQ(again.jf.aside.size(), end != size && end != *next) << end;
            for (const auto& [when, text] : answered)
                EXPECT_TRUE(when >= cut - Journal::SyncEveryMs ||
                            again.text.value.size() >= text.size())
                    << end;
        }
    }
}

// After a download, what an end the operator did not choose (a signal, a log-out) leaves.
// A save removing the journal and a closed window leaving none are the crash journal
// end-to-end test's; unsaved records kept through a signal, the damaged-journal table's.
TEST(Journal, KeptWhileRecordsAreUnsavedAndRemovedOnceTheyAreNot) {
    struct Case {
        std::function<void(Loader&)> act;
        std::optional<std::string> left;
    };
    const Case cases[] = {
        // Saved, then one more.
        {[](Loader& r) { r.file(" SAVE", "s"), r.comm.receive(lap("c")); },
         H + E("a\r\nb\r\nc\r\n")},
        // A load leaves nothing unsaved; the next record brings what the text then holds.
        {[](Loader& r) { r.file(" SAVE", "s"), r.file(" LOAD", "s"), r.comm.receive(lap("c")); },
         H + E("a\r\nb\r\n\r\nc\r\n")},
        {[](Loader& r) { r.vl.down_load_Click(); }, std::nullopt},  // a download without records
    };
    for (const auto& c : cases) {
        Loader r;
        r.start();
        r.comm.receive(lap("a") + lap("b"));
        r.end();
        c.act(r);
        r.vl.Form_Unload(VorbixLoader::EndedBy::System);
        EXPECT_EQ(r.jf.bytes, c.left);
        EXPECT_EQ(r.jf.synced, r.jf.bytes.value_or(""));
    }
}

// Yes restoring the records byte for byte and No deleting them are also the crash journal
// end-to-end test's. Records hold any byte: their checks alone tell where damage starts.
// A damaged journal is kept aside whole and named in a box after the question; when even
// that fails, it stays where it is and no journal replaces it this run. What it cannot
// read at all is on the real file system, below.
TEST(Journal, LeftOverRecordsAreOfferedBeforeTheLinkOpensAndDamageIsKeptAside) {
    const std::string a = "123456789", b("\0\x80\xff\r\n\r\n", 7), H1(Journal::Header1);
    const std::string good = H + "00000009 cbf43926\r\n" + a + E(b), name = Journal::FileName;
    std::string flipped = good + E("c\r\n");
    flipped[good.size() - 3] ^= 1;
    const auto damaged = [&](size_t at, bool stuck = false) {
        const std::string why = name + ": from byte " + std::to_string(at) +
                                " on; only the records before that are offered)";
        return "!! a journal of unsaved records that is damaged " +
               (stuck ? "is left as " + name + " (" + why +
                            ", as it could not be moved aside (stuck): crash protection is off !!"
                      : "is kept as " + name + ".damaged-2005-01-09 (" + why + " !!");
    };
    struct Case {
        std::string journal;
        std::optional<Answer> answer;  // nullopt: no question
        std::string shown;
        std::optional<std::string> kept;
        std::string box = {};  // after the question
        bool stuck = false;
    };
    const Case cases[] = {
        {good, Answer::Yes, a + b, H + E(a + b)},
        {good + std::string(300, '\0') + E("c\r\n"), std::nullopt, a + b, H + E(a + b),
         damaged(good.size())},
        {good + E("c\r\n").substr(0, 21), Answer::No, "", std::nullopt, damaged(good.size())},
        {flipped, std::nullopt, a, H + E(a), damaged(H.size() + 28)},
        {H + "1  12.345\r\n", std::nullopt, "", std::nullopt, damaged(H.size())},
        {good + "x", std::nullopt, a + b, good + "x", damaged(good.size(), true), true},
        {H1 + a + b + "2  13.0", std::nullopt, a + b, H + E(a + b)},  // a torn last record
        {H, std::nullopt, "", std::nullopt},
        {"", std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        Loader r;
        r.jf.bytes = c.journal;
        r.jf.stuck = c.stuck;
        const bool asked = !c.shown.empty() || c.answer;
        if (c.answer) r.ui.answers.push_back(*c.answer);
        r.vl.Form_Load();
        std::string told;
        for (const auto& box : r.ui.boxes) {
            told += box.text + "|";
            EXPECT_LT(r.at("msgbox " + box.text), r.at("PortOpen=true"));
        }
        EXPECT_EQ(told, (asked ? "!! unsaved records found, restore? !!|" : "") +
                            (c.box.empty() ? "" : c.box + "|"));
        EXPECT_EQ(r.text.value, c.shown) << c.journal;
        EXPECT_EQ(r.jf.bytes, c.kept) << c.journal;
        // A download and a shut-down later, what was kept is still whole.
        r.start();
        r.comm.receive(lap("x"));
        r.vl.Form_Unload(VorbixLoader::EndedBy::System);
        EXPECT_EQ(r.jf.bytes, c.stuck ? c.journal : H + E("x\r\n")) << c.journal;
        EXPECT_EQ(r.jf.aside[".damaged-2005-01-09"], c.box.empty() || c.stuck ? "" : c.journal);
    }
}

// A shut-down (a signal, the end of the session) that comes while a handler waits in a
// nested loop is final: once the handler goes on, the port is not opened or written
// again, and the journal it kept is neither removed nor started afresh. One in the
// restore question at start is the signal end-to-end test's.
TEST(Journal, AShutDownInANestedLoopIsFinal) {
    // Handlers that wait in a loop where the shut-down runs: the PORT dialog's, the file
    // dialog's.
    const std::function<void(Loader&)> handlers[] = {
        [&](Loader& r) {
            r.ui.operators["PORT SET"] = [&](fake::Form& f) {
                r.vl.Form_Unload(VorbixLoader::EndedBy::System);
                f.fbutton("ok_bot").onClick();
            };
            r.vl.PORT_SET_Click();
        },
        [&](Loader& r) {
            r.file(" SAVE", "s");      // a file the load can find
            r.comm.receive(lap("b"));  // and a record in no file
            r.ui.operators[" LOAD"] = [&](fake::Form& f) {
                r.vl.Form_Unload(VorbixLoader::EndedBy::System);
                f.ftext("Text1").setText("s");
                f.fbutton("Command1").onClick();
            };
            r.vl.FILE_LOAD_Click();
        },
    };
    for (const auto& handler : handlers) {
        Loader r;
        r.start();
        r.comm.receive(lap("a"));
        handler(r);
        ASSERT_TRUE(r.ui.ended);
        EXPECT_EQ(r.log.end(),
                  std::find_if(r.log.begin() + r.at("end"), r.log.end(), [](const std::string& e) {
                      return e == "PortOpen=true" || e.starts_with("Output=") ||
                             e.starts_with("journal");
                  }));
    }
}

TEST(JournalFile, TakesRecordsWhileSyncingAndReadsThemBackWholeOneAProgram) {
    support::ScratchDir dir;
    const auto L = Journal::ReadLimit;
    std::string all(Journal::Header);
    {
        auto file = platform::systemJournalFile("j");
        file->start(all, "");
        for (int i = 0; i < 200; ++i) {
            if (i % 10 == 0) file->startSync();
            const std::string record = std::to_string(i) + "\r\n";
            file->append(record);
            all += record;
        }
        file->startSync();  // still under way as the file goes
    }
    auto file = platform::systemJournalFile("j");
    EXPECT_EQ(file->read(L), all);
    file->start(Journal::Header, "a\r\n");  // over the old one (hidden, on Windows)
    file->append("x\r\n");
    file->sync();
    EXPECT_EQ(file->read(L), H + "a\r\nx\r\n");
    EXPECT_THROW(file->read(H.size()), platform::RuntimeError);
    ASSERT_TRUE(file->moveAside(".old"));
    EXPECT_EQ(file->read(L), "");  // held again, empty
    file->start(Journal::Header, "");
    EXPECT_FALSE(file->moveAside(".old"));  // never over another
    file->remove();
    EXPECT_EQ(file->read(L), std::nullopt);
    EXPECT_EQ(platform::systemJournalFile("j.old")->read(L), H + "a\r\nx\r\n");
    // Programs sharing a folder (here, files of one process) each hold a journal of their
    // own, and a start takes an ended one's journal over a free name. The two-program
    // end-to-end test plays the operator's cases.
    auto a = platform::systemJournalFile("j");
    a->start(H, "a\r\n");
    auto b = platform::systemJournalFile("j");
    EXPECT_EQ(b->read(L), "");
    EXPECT_EQ(b->name(), "j.2");
    b->start(H, "b\r\n");
    b.reset();  // killed
    EXPECT_EQ(a->read(L), H + "a\r\n");
    a->remove();
    EXPECT_EQ(platform::systemJournalFile("j")->read(L), H + "b\r\n");
}

#ifndef _WIN32
namespace fs = std::filesystem;

// What the test puts at the journal's name on the real file system, beside a file of the
// operator's: start-up reads none of it and writes nothing through it; it is moved aside
// as it is, under a name of its own, named in one box, and the next download journals
// into a file of the program's own, also over a link put there after start-up.
TEST(JournalFile, WhatStartUpCannotReadIsMovedAsideAsItIsAndNothingIsWrittenThroughIt) {
    const std::string victim = "victim.txt", name = Journal::FileName;
    const std::string aside = name + ".unread-2005-01-09";
    struct Case {
        std::function<void()> put;
        std::function<bool()> keptAsIs;  // at `aside`
        std::string why;                 // as the box ends
    };
    const Case cases[] = {
        {[&] { fs::create_symlink(victim, name); },
         [&] { return fs::read_symlink(aside) == victim; }, name + ": a symbolic link)"},
        {[&] { ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0); }, [&] { return fs::is_fifo(aside); },
         name + ": not a file)"},
        // Larger than a journal can be, and sparse; then of a later format.
        {[&] {
             std::ofstream(name) << H << "1\r\n";
             fs::resize_file(name, Journal::ReadLimit + 1);
         },
         [&] { return fs::file_size(aside) == Journal::ReadLimit + 1; },
         name + ": 16777217 bytes, over the limit of 16777216)"},
        {[&] { std::ofstream(name) << "VorbixLoader journal 3\r\n1  12.345\r\n"; },
         [&] { return support::bytesOf(aside) == "VorbixLoader journal 3\r\n1  12.345\r\n"; },
         name + ": not of a format this version knows)"},
    };
    for (const auto& c : cases) {
        auto file = platform::systemJournalFile(Journal::FileName);  // in the folder of r
        Loader r(file.get());
        std::ofstream(victim) << "the operator's";
        c.put();
        r.vl.Form_Load();
        ASSERT_EQ(r.ui.boxes.size(), 1u) << c.why;
        EXPECT_TRUE(r.ui.boxes[0].text.ends_with(" kept as " + aside + " (" + c.why + " !!"))
            << r.ui.boxes[0].text;
        fs::remove(name);  // a link put there after start-up is replaced, not followed
        fs::create_symlink(victim, name);
        r.start();
        r.comm.receive(lap("a"));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name))) << c.why;
        EXPECT_EQ(support::bytesOf(name), H + E("a\r\n")) << c.why;
        EXPECT_EQ(support::bytesOf(victim), "the operator's") << c.why;
        // Another the same day takes a name of its own.
        file->remove();
        c.put();
        EXPECT_EQ(Journal(file.get(), r.clock).leftOver(), "") << c.why;
        EXPECT_TRUE(c.keptAsIs()) << c.why;
        EXPECT_TRUE(fs::exists(fs::symlink_status(aside + "-2"))) << c.why;
    }
}

// The real file when it cannot grow (a file size limit, which binds root too, as a full
// disk would), in two downloads: the operator is told once, every record is still listed
// and answered, and the file keeps whole records, the first ones.
TEST(JournalFile, WhenItCannotGrowThatIsToldOnceAndEveryRecordIsStillListed) {
    std::string laps, records;
    for (int i = 0; i < 1000; ++i) {
        const std::string record = std::to_string(i) + std::string(90, '.');
        laps += lap(record);
        records += record + "\r\n";
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
        r.start();
        r.comm.receive(laps);
        r.end();
        EXPECT_EQ(std::count(r.comm.sent.begin(), r.comm.sent.end(), '\r'), 1003);  // all OK
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
