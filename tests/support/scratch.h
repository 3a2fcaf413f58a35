// A fresh folder for one test or benchmark, removed with everything in it at the end. As
// the working directory, PORT.DAT and COMn links never touch the real one, which is
// current again afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace support {

class ScratchDir {
  public:
    enum Use { Beside, AsWorkingDirectory };
    explicit ScratchDir(Use use = AsWorkingDirectory) {
        std::string name = (std::filesystem::temp_directory_path() / "vl-XXXXXX").string();
        if (!::mkdtemp(name.data())) throw std::runtime_error("no scratch folder");
        dir_ = name;
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
