#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "main_window/vorbix_loader.h"
#include "record_files/file_form.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct RecordFiles : ::testing::Test, fake::Program {
    support::ScratchDir scratch{support::ScratchDir::Beside};
    std::string dir = scratch.path();

    void SetUp() override { vl.PASS_NAME = dir; }
    std::string at(const std::string& name) const { return scratch.at(name); }

    // Opens the dialog with `act` playing the operator; returns whether it closed itself.
    bool run(const std::string& caption, const std::function<void(fake::Form&)>& act) {
        ui.operators[caption] = act;
        caption == " SAVE" ? vl.FILE_SAVE_Click() : vl.FILE_LOAD_Click();
        return log.back() == "unload " + caption;
    }
    static void enter(fake::Form& f, const std::string& name) {
        f.ftext("Text1").setText(name);
        f.fbutton("Command1").onClick();
    }
    bool ok(const std::string& caption, const std::string& name) {
        return run(caption, [&](fake::Form& f) { enter(f, name); });
    }
};

TEST_F(RecordFiles, SaveAndLoadAreByteExact) {
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n') bytes += static_cast<char>(c);
    for (const std::string& records : {bytes + "\r\n\x80\xFF\r\n", std::string()}) {
        text.value = records;
        ASSERT_TRUE(ok(" SAVE", "trip"));
        ASSERT_EQ(support::bytesOf(at("trip.txt")), records + "\r\n");
        text.value = "stale";
        ASSERT_TRUE(ok(" LOAD", "trip"));
        ASSERT_EQ(text.value, records + "\r\n");
        ui.answers.push_back(platform::Answer::Yes);  // to replace the file in the next round
    }
    EXPECT_EQ(ui.answers.size(), 1u);  // each replacement was asked
}

// A record file named in capitals (from a Windows machine or a memory card) loads by its
// name; saving still writes ".txt".
TEST_F(RecordFiles, LoadTakesTheOneFileWhoseExtensionDiffersOnlyInCase) {
    for (const char* name : {"LAPS.TXT", "b.txt", "b.TXT", "two.Txt", "two.tXT", "x.TXT.bak"})
        put(at(name), std::string(name) + "\r\n");
    const struct {
        const char* typed;
        std::string loaded;  // "" for "!! non file !!"
    } cases[] = {
        {"LAPS", "LAPS.TXT\r\n"},
        {"b", "b.txt\r\n"},  // the exact name first
        {"two", ""},         // which one was meant is not ours to guess
        {"x", ""},
        {"laps", ""},  // only the extension's case
    };
    for (const auto& c : cases) {
        text.value = "kept\r\n";
        ui.boxes.clear();
        const bool closed = ok(" LOAD", c.typed);
        EXPECT_EQ(closed, !c.loaded.empty()) << c.typed;
        EXPECT_EQ(text.value, c.loaded.empty() ? "kept\r\n" : c.loaded) << c.typed;
    }
    text.value = "new\r\n";
    ASSERT_TRUE(ok(" SAVE", "LAPS"));
    EXPECT_EQ(support::bytesOf(at("LAPS.txt")), "new\r\n\r\n");
    EXPECT_EQ(support::bytesOf(at("LAPS.TXT")), "LAPS.TXT\r\n");
}

TEST_F(RecordFiles, FailedLoadShowsNonFileKeepsLinesReadAndStaysOpen) {
    text.value = "keep\r\n";
    put(at("r.txt"), "a\r\nb\r\nc\r\n");
    put(at("s.txt"), "s\r\n");
    EXPECT_TRUE(run(" LOAD", [&](fake::Form& f) {
        testing::internal::CaptureStderr();
        enter(f, "missing");
        // The box hides why; the log keeps it.
        EXPECT_NE(testing::internal::GetCapturedStderr().find("missing.txt"), std::string::npos);
        EXPECT_EQ(text.value, "keep\r\n");
        text.room = 2;
        enter(f, "r");
        EXPECT_EQ(text.value, "a\r\nb\r\n");
        EXPECT_FALSE(f.unloaded);
        ASSERT_EQ(ui.boxes.size(), 2u);
        EXPECT_EQ(ui.boxes[0].text, "!! non file !!");
        EXPECT_EQ(ui.boxes[1].text, "!! non file !!");
        // The operator chooses again from the list, which proposes the name up to the
        // first full stop.
        auto& list = static_cast<fake::FileList&>(f.fileList("File1"));
        list.chosen = "s.b.txt";
        list.onClick();
        EXPECT_EQ(f.ftext("Text1").text(), "s");
        text.room = 1;
        f.fbutton("Command1").onClick();
    }));
    EXPECT_EQ(text.value, "s\r\n");
    EXPECT_EQ(files.freeFile(), 1);
}

TEST_F(RecordFiles, FileBeyondTheLimitIsRefusedWithItsSizeAndTheRecordsKept) {
    for (const int64_t size : {RecordFileLimit, RecordFileLimit + 1}) {
        text.value = "keep\r\n";
        ui.boxes.clear();
        put(at("big.txt"), "");
        fs::resize_file(at("big.txt"), size);  // sparse: NULs
        const bool closed = ok(" LOAD", "big");
        EXPECT_EQ(closed, size <= RecordFileLimit) << size;
        EXPECT_EQ(text.value.size(), size <= RecordFileLimit ? size + 2 : 6);
        if (size > RecordFileLimit) {
            EXPECT_EQ(ui.boxes.at(0).text,
                      "!! file too large: 8,388,609 bytes, the limit is 8,388,608 bytes !!");
        }
    }
    EXPECT_EQ(files.freeFile(), 1);
}

TEST_F(RecordFiles, OverwriteIsAskedAndFailedWriteKeepsOldFile) {
    put(at("r.txt"), "old\r\n");
    text.value = std::string(300000, 'x');
    EXPECT_FALSE(ok(" SAVE", "r"));  // answered No
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "!! file exists, overwrite? !!");
    EXPECT_EQ(ui.boxes[0].buttons, platform::Buttons::YesNo);

    // A file size limit makes the write fail part-way, even for root.
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small{64 * 1024, before.rlim_max};
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ui.answers.push_back(platform::Answer::Yes);
    const bool closed = ok(" SAVE", "r");
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(closed);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_NE(ui.boxes[2].text.find(std::strerror(EFBIG)), std::string::npos);
    EXPECT_EQ(support::bytesOf(at("r.txt")), "old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);  // no temporary file left
    EXPECT_EQ(files.freeFile(), 1);
}

// The dialog opens at the nearest folder that lists, with a dated name; a place that
// cannot be listed is reported, and the dialog goes back to the home place.
TEST_F(RecordFiles, OpensAtTheNearestListableFolderAndLeavesAPlaceThatFails) {
    fs::create_directories(at("a"));
    put(at("a/file"), "");
    const std::pair<std::string, std::string> opens[] = {
        {at("a/b/c"), at("a")},
        {at("a/file"), at("a")},
        {"no-such", platform::systemFileSystem().currentDirectory()}};
    for (const auto& [last, opened] : opens) {
        vl.PASS_NAME = last;
        run(" LOAD", [&](fake::Form& f) {
            EXPECT_EQ(f.dirList("Dir1").path(), opened) << last;
            EXPECT_EQ(f.fileList("File1").path(), opened) << last;
            EXPECT_EQ(f.ftext("Text1").text(), "LAP_DAT_01-09-2005");
        });
    }
    run(" SAVE", [&](fake::Form& f) {
        static_cast<fake::DirList&>(f.dirList("Dir1")).fileSystem = &platform::systemFileSystem();
        f.driveList("Drive1").setDrive(at("gone"));  // a stick pulled out
        EXPECT_EQ(f.driveList("Drive1").drive(), "/");
        EXPECT_EQ(f.dirList("Dir1").path(), "/");
    });
    EXPECT_EQ(ui.boxes.size(), 1u);
}

}  // namespace
