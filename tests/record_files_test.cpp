#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "main_window/vorbix_loader.h"
#include "platform/places.h"
#include "tests/support/record_fakes.h"

namespace {

namespace fs = std::filesystem;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct TempDir {
    std::string path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "vl-records-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// The dialog as the operator sees it.
struct Dialog {
    fake::Form& f;
    fake::DriveList& drive() { return static_cast<fake::DriveList&>(f.driveList("Drive1")); }
    fake::FsDirList& dir() { return static_cast<fake::FsDirList&>(f.dirList("Dir1")); }
    fake::FsFileList& file() { return static_cast<fake::FsFileList&>(f.fileList("File1")); }
    fake::TextBox& name() { return f.ftext("Text1"); }
    void ok() { f.fbutton("Command1").onClick(); }
    void ok(const std::string& typed) {
        name().setText(typed);
        ok();
    }
};

// How a dialog looked when it opened and whether it closed itself.
struct Seen {
    std::string drive, folder, fileFolder, pattern, name;
    bool unloaded = false;
};

class RecordFiles : public ::testing::Test {
  protected:
    TempDir tmp;
    std::string home = platform::currentDirectory();
    fake::Log log;
    fake::RecordUi ui{&log};
    fake::Form form{VorbixLoader::formSpec(), &log};
    fake::CommPort comm{&log};
    platform::Files files;
    fake::Clock clock;
    std::unique_ptr<VorbixLoader> vl;
    fake::TextBox& records = form.ftext("Text1");

    void SetUp() override {
        ASSERT_EQ(::chdir(tmp.path.c_str()), 0);
        start();
    }
    void TearDown() override { (void)::chdir(home.c_str()); }
    void start() {
        vl.reset();
        vl = std::make_unique<VorbixLoader>(ui, form, comm, files, clock);
        vl->PASS_NAME = tmp.path;
    }
    std::string at(const std::string& name) const { return tmp.path + "/" + name; }

    Seen run(const char* caption, const std::function<void(Dialog&)>& act) {
        Seen seen;
        ui.operators[caption] = [&](fake::Form& f) {
            Dialog d{f};
            seen = {d.drive().drive(), d.dir().path(), d.file().path(), d.file().pattern,
                    d.name().text()};
            if (act) act(d);
            seen.unloaded = f.unloaded;
        };
        if (std::string(caption) == " SAVE")
            vl->FILE_SAVE_Click();
        else
            vl->FILE_LOAD_Click();
        return seen;
    }
    Seen save(const std::function<void(Dialog&)>& act = {}) { return run(" SAVE", act); }
    Seen load(const std::function<void(Dialog&)>& act = {}) { return run(" LOAD", act); }
    Seen saveAs(const std::string& name) {
        return save([&](Dialog& d) { d.ok(name); });
    }
    Seen loadFrom(const std::string& name) {
        return load([&](Dialog& d) { d.ok(name); });
    }
    std::string lastBox() const { return ui.boxes.empty() ? "" : ui.boxes.back().text; }
};

TEST_F(RecordFiles, DialogOpensOnLastFolderWithDatedNameAndCloseBoxChangesNothing) {
    records.value = "12.345\r\n";
    Seen seen = load();
    EXPECT_EQ(seen.drive, platform::placeOf(tmp.path));
    EXPECT_EQ(seen.folder, tmp.path);
    EXPECT_EQ(seen.fileFolder, tmp.path);
    EXPECT_EQ(seen.pattern, "*.txt");
    EXPECT_EQ(seen.name, "LAP_DAT_01-09-2005");
    EXPECT_FALSE(seen.unloaded);
    EXPECT_EQ(records.value, "12.345\r\n");
    EXPECT_EQ(vl->SettingsChanged, 0);

    clock.date = {1999, 12, 31};
    EXPECT_EQ(save().name, "LAP_DAT_12-31-1999");
    EXPECT_EQ(vl->SettingsChanged, -1);  // even though nothing was written
    EXPECT_TRUE(namesIn(tmp.path).empty());
    EXPECT_EQ(vl->PASS_NAME, tmp.path);
}

TEST_F(RecordFiles, SaveAddsOneLineEndAndLoadKeepsItAsEmptyLine) {
    records.value = "12.345\r\n";
    EXPECT_TRUE(save([](Dialog& d) { d.ok(); }).unloaded);
    EXPECT_EQ(namesIn(tmp.path), std::vector<std::string>{"LAP_DAT_01-09-2005.txt"});
    EXPECT_EQ(readFile(at("LAP_DAT_01-09-2005.txt")), "12.345\r\n\r\n");
    EXPECT_EQ(vl->SettingsChanged, -1);
    EXPECT_TRUE(ui.boxes.empty());

    vl->SettingsChanged = 0;
    records.setText("other\r\n");
    EXPECT_TRUE(load([](Dialog& d) { d.ok(); }).unloaded);
    EXPECT_EQ(records.value, "12.345\r\n\r\n");
    EXPECT_EQ(vl->SettingsChanged, 0);
    EXPECT_EQ(files.freeFile(), 1);
}

TEST_F(RecordFiles, LoadTakesFolderFromListsButLeavesSettingsFlag) {
    fs::create_directory(at("sub"));
    writeFile(at("sub/r.txt"), "1\r\n");
    Seen seen = load([&](Dialog& d) {
        d.dir().setPath(at("sub"));
        EXPECT_EQ(d.file().path(), at("sub"));
        d.file().click("r.txt");
        EXPECT_EQ(d.name().text(), "r");
        d.ok();
    });
    EXPECT_TRUE(seen.unloaded);
    EXPECT_EQ(vl->PASS_NAME, at("sub"));
    EXPECT_EQ(vl->SettingsChanged, 0);
    EXPECT_EQ(records.value, "1\r\n");
}

TEST_F(RecordFiles, LoadEndsLinesAtCrLfCrOrLoneLfAndKeepsUnendedLastLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd\r\n"},
        {"x\r\n\r\n", "x\r\n\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"", ""},
    };
    for (const auto& [file, expected] : cases) {
        writeFile(at("r.txt"), file);
        records.value = "stale";
        EXPECT_TRUE(loadFrom("r").unloaded);
        EXPECT_EQ(records.value, expected) << file;
    }
}

TEST_F(RecordFiles, ProposedNameStopsAtFirstFullStop) {
    records.value = "1\r\n";
    saveAs("run1.old");
    EXPECT_TRUE(fs::exists(at("run1.old.txt")));
    load([](Dialog& d) {
        const std::pair<const char*, const char*> cases[] = {
            {"run1.old.txt", "run1"}, {"a.b.txt", "a"}, {"plain", "plain"}, {".hidden.txt", ""}};
        for (auto [file, proposed] : cases) {
            d.file().click(file);
            EXPECT_EQ(d.name().text(), proposed) << file;
        }
    });
}

TEST_F(RecordFiles, RootFolderGivesDoubleSlash) {
    vl->PASS_NAME = "/";
    const std::string missing = "vl-no-such-folder-" + std::to_string(::getpid());
    Seen seen = saveAs(missing + "/r");
    EXPECT_EQ(seen.folder, "/");
    EXPECT_FALSE(seen.unloaded);
    EXPECT_EQ(lastBox().rfind("//" + missing + "/r.txt:", 0), 0u) << lastBox();
}

TEST_F(RecordFiles, RoundTripsAreByteExact) {
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n') bytes += static_cast<char>(c);
    std::string many;
    for (int i = 0; i < 100000; ++i) many += std::to_string(i) + "  12.345\r\n";
    for (const std::string& text : {bytes + "\r\n\xFF\xFE\x80\r\n", std::string(), many}) {
        records.value = text;
        ASSERT_TRUE(saveAs("trip").unloaded);
        ASSERT_EQ(readFile(at("trip.txt")), text + "\r\n");
        records.value = "stale";
        ASSERT_TRUE(loadFrom("trip").unloaded);
        ASSERT_EQ(records.value, text + "\r\n");
        ui.answers.push_back(Answer::Yes);  // the next save replaces the file
    }
}

TEST_F(RecordFiles, FailedLoadShowsNonFileAndDialogStaysOpen) {
    fs::create_directory(at("folder.txt"));
    writeFile(at("good.txt"), "g\r\n");
    records.value = "keep\r\n";
    Seen seen = load([&](Dialog& d) {
        for (const char* name : {"missing", "folder"}) {
            d.ok(name);
            EXPECT_FALSE(d.f.unloaded);
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].text, "!! non file !!");
            EXPECT_EQ(ui.boxes[0].icon, Icon::None);
            EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
            EXPECT_EQ(records.value, "keep\r\n");
            EXPECT_EQ(files.freeFile(), 1);
            ui.boxes.clear();
        }
        d.ok("good");  // the operator chooses again
    });
    EXPECT_TRUE(seen.unloaded);
    EXPECT_EQ(records.value, "g\r\n");
}

TEST_F(RecordFiles, ReadFailureAfterEmptyingKeepsLinesReadSoFar) {
    // A read error from the file itself: this file cannot be read from its start.
    if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
    fs::create_symlink("/proc/self/mem", at("mem.txt"));
    records.value = "keep\r\n";
    EXPECT_FALSE(loadFrom("mem").unloaded);
    EXPECT_EQ(lastBox(), "!! non file !!");
    EXPECT_EQ(records.value, "");
    EXPECT_EQ(files.freeFile(), 1);

    // A failure half-way: the record text takes two lines, then refuses more.
    auto full = std::make_unique<fake::FullTextBox>();
    full->log = &log;
    full->name = "Text1";
    full->room = 2;
    fake::TextBox& shown = *full;
    form.texts["Text1"] = std::move(full);
    start();
    writeFile(at("r.txt"), "a\r\nb\r\nc\r\n");
    EXPECT_FALSE(loadFrom("r").unloaded);
    EXPECT_EQ(lastBox(), "!! non file !!");
    EXPECT_EQ(shown.value, "a\r\nb\r\n");
    EXPECT_EQ(files.freeFile(), 1);
}

TEST_F(RecordFiles, OverwriteIsAskedAndNoKeepsOldFile) {
    writeFile(at("r.txt"), "old\r\n");
    records.value = "new\r\n";
    Seen seen = save([&](Dialog& d) {
        d.ok("r");
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "!! file exists, overwrite? !!");
        EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
        EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNo);
        EXPECT_FALSE(d.f.unloaded);
        EXPECT_EQ(readFile(at("r.txt")), "old\r\n");
        ui.answers.push_back(Answer::Yes);
        d.ok();
    });
    EXPECT_TRUE(seen.unloaded);
    EXPECT_EQ(readFile(at("r.txt")), "new\r\n\r\n");
}

// A failed save tells the operator why and leaves records, old file and folder as they were.
class FailedSave : public RecordFiles {
  protected:
    void expectRefused(const std::string& name, const std::string& why) {
        ui.boxes.clear();
        const auto before = namesIn(tmp.path);
        Seen seen = save([&](Dialog& d) { d.ok(name); });
        EXPECT_FALSE(seen.unloaded) << name;
        ASSERT_FALSE(ui.boxes.empty()) << name;
        EXPECT_EQ(ui.boxes.back().icon, Icon::Exclamation);
        EXPECT_NE(lastBox().find(why), std::string::npos) << lastBox();
        EXPECT_EQ(records.value, big);
        EXPECT_EQ(namesIn(tmp.path), before);  // nothing half-written left behind
        EXPECT_EQ(files.freeFile(), 1);
    }
    std::string big = std::string(300000, 'x') + "\r\n";
    void SetUp() override {
        RecordFiles::SetUp();
        records.value = big;
    }
};

TEST_F(FailedSave, RefusedNamesAndVanishedFolder) {
    fs::create_directory(at("adir.txt"));
    expectRefused(std::string(300, 'n'), std::strerror(ENAMETOOLONG));
    expectRefused("no/such/sub", std::strerror(ENOENT));
    expectRefused("adir", "is a folder");

    fs::create_directory(at("gone"));
    vl->PASS_NAME = at("gone");
    Seen seen = save([&](Dialog& d) {
        fs::remove(at("gone"));
        d.ok("r");
        EXPECT_FALSE(d.f.unloaded);
        EXPECT_NE(lastBox().find(std::strerror(ENOENT)), std::string::npos) << lastBox();
        d.dir().setPath(tmp.path);  // the operator picks another folder
        d.ok();
    });
    EXPECT_TRUE(seen.unloaded);
    EXPECT_EQ(readFile(at("r.txt")), big + "\r\n");
}

TEST_F(FailedSave, WriteFailingMidwayLeavesOldFileWhole) {
    writeFile(at("r.txt"), "old\r\n");
    // The file size limit makes the write fail part-way; the process itself cannot lift it
    // by accident the way root ignores permission bits.
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ui.answers.push_back(Answer::Yes);
    expectRefused("r", std::strerror(EFBIG));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(readFile(at("r.txt")), "old\r\n");
}

// A small volume of its own, mounted in a private mount namespace so that nothing is left
// mounted even if the test dies.
class SmallVolume : public FailedSave {
  protected:
    std::string vol;
    bool mounted = false;
    void SetUp() override {
        FailedSave::SetUp();
        vol = at("vol");
        fs::create_directory(vol);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("vl-test", vol.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a test volume here: " << std::strerror(errno);
        mounted = true;
        writeFile(vol + "/r.txt", "old\r\n");
        vl->PASS_NAME = vol;
    }
    void TearDown() override {
        if (mounted) ::umount2(vol.c_str(), MNT_DETACH);
        FailedSave::TearDown();
    }
    void expectRefusedOnVolume(const std::string& name, const std::string& why) {
        const auto before = namesIn(vol);
        if (fs::exists(vol + "/" + name + ".txt")) ui.answers.push_back(Answer::Yes);
        expectRefused(name, why);
        EXPECT_EQ(namesIn(vol), before);
        EXPECT_EQ(readFile(vol + "/r.txt"), "old\r\n");
    }
};

TEST_F(SmallVolume, FullDisk) {
    expectRefusedOnVolume("r", std::strerror(ENOSPC));
    expectRefusedOnVolume("new", std::strerror(ENOSPC));
}

TEST_F(SmallVolume, ReadOnlyVolume) {
    ASSERT_EQ(::mount(nullptr, vol.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    expectRefusedOnVolume("r", std::strerror(EROFS));
    expectRefusedOnVolume("new", std::strerror(EROFS));
}

TEST_F(RecordFiles, MissingLastFolderOpensAtNearestExistingOne) {
    fs::create_directories(at("a"));
    writeFile(at("a/file"), "");
    const std::pair<std::string, std::string> cases[] = {
        {at("a/b/c"), at("a")},         {at("a/b/"), at("a")}, {at("a/file"), at("a")},
        {"no-such-relative", tmp.path}, {"", tmp.path},
    };
    for (const auto& [last, opened] : cases) {
        vl->PASS_NAME = last;
        Seen seen = load();
        EXPECT_EQ(seen.folder, opened) << last;
        EXPECT_EQ(seen.fileFolder, opened) << last;
        EXPECT_EQ(vl->PASS_NAME, last);  // only "OK" changes it
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RecordFiles, PlaceThatCannotBeListedFallsBackToRoot) {
    fs::create_directory(at("sub"));
    load([&](Dialog& d) {
        d.drive().setDrive(at("sub"));
        EXPECT_EQ(d.dir().path(), at("sub"));
        EXPECT_EQ(d.file().path(), at("sub"));

        d.drive().setDrive(at("nope"));
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].icon, Icon::Exclamation);
        EXPECT_NE(ui.boxes[0].text.find(at("nope")), std::string::npos);
        EXPECT_EQ(d.drive().drive(), "/");
        EXPECT_EQ(d.dir().path(), "/");
        EXPECT_EQ(d.file().path(), "/");
    });
}

}  // namespace
