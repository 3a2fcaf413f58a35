// For tests of the program on fakes: a fresh working directory, so "PORT.DAT" and COMn
// links never touch the real one; the old one is current again afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/support/fakes.h"

namespace settings_test {

class WorkDir {
  public:
    WorkDir() {
        std::string name = (std::filesystem::temp_directory_path() / "vl_settings_XXXXXX").string();
        if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
        std::filesystem::current_path(dir_ = name);
    }
    ~WorkDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path& path() const { return dir_; }

  private:
    std::filesystem::path old_ = std::filesystem::current_path(), dir_;
};

}  // namespace settings_test
