// A fresh folder for one test or benchmark, removed with everything in it at the end. As
// the working directory, PORT.DAT and COMn links never touch the real one, which is
// current again afterwards.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#endif

#include <filesystem>
#include <stdexcept>
#include <string>

namespace support {

inline std::filesystem::path newScratchFolder() {
#ifdef _WIN32
    // No mkdtemp there: a name of this process's own, the first one free.
    for (unsigned n = 0; n < 1000; ++n) {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("vl-" + std::to_string(_getpid()) + "-" + std::to_string(n));
        if (std::filesystem::create_directory(dir)) return dir;
    }
#else
    std::string name = (std::filesystem::temp_directory_path() / "vl-XXXXXX").string();
    if (::mkdtemp(name.data())) return name;
#endif
    throw std::runtime_error("no scratch folder");
}

class ScratchDir {
  public:
    enum Use { Beside, AsWorkingDirectory };
    explicit ScratchDir(Use use = AsWorkingDirectory) {
        dir_ = newScratchFolder();
        if (use == AsWorkingDirectory) std::filesystem::current_path(dir_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path() const { return dir_.string(); }
    std::string at(const std::string& name) const { return (dir_ / name).string(); }

  private:
    std::filesystem::path old_ = std::filesystem::current_path(), dir_;
};

}  // namespace support
