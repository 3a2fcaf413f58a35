// Shared by the settings, dialog and life-cycle tests: a main window on fakes, run in
// a fresh working directory so "PORT.DAT" and COMn links never touch the real one.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "main_window/vorbix_loader.h"
#include "tests/support/fakes.h"

namespace settings_test {

class WorkDir {
  public:
    WorkDir() : old_(std::filesystem::current_path()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "vl_settings_XXXXXX").string();
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
        dir_ = name.data();
        std::filesystem::current_path(dir_);
    }
    ~WorkDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const std::filesystem::path& path() const { return dir_; }

  private:
    std::filesystem::path old_, dir_;
};

inline void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Makes writes past `bytes` fail with EFBIG; unlike permission bits, root is bound by it.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = old_;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// The operator closes a dialog by its close box.
inline void closeBox(fake::Form& f) {
    if (f.onUnload) f.onUnload();
    f.unload();
}

struct Rig {
    WorkDir dir;  // first: everything below lives in it
    fake::Log log;
    fake::Ui ui{&log};
    fake::Form form{VorbixLoader::formSpec(), &log};
    fake::CommPort comm{&log};
    platform::Files files;
    fake::Clock clock;
    VorbixLoader vl{ui, form, comm, files, clock};

    std::string cwd() const { return std::filesystem::current_path().string(); }
    int dialogsShown() const {
        int n = 0;
        for (const auto& e : log) n += e == "show PORT SET";
        return n;
    }
    // How the operator answers the port dialog; by default "OK" at once.
    void onDialog(std::function<void(fake::Form&)> play) { ui.operators["PORT SET"] = play; }
    Rig() {
        onDialog([](fake::Form& f) { f.fbutton("ok_bot").onClick(); });
    }
};

struct Program : ::testing::Test, Rig {};

}  // namespace settings_test
