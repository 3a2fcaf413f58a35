// A fresh folder for one test or benchmark, removed with everything in it at the end. As
// the working directory, PORT.DAT and COMn links never touch the real one, which is
// current again afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace support {

// A new folder under the system's temporary one, of a name no other test has taken.
inline std::filesystem::path newScratchFolder() {
    std::random_device random;
    for (int tries = 0; tries < 100; ++tries) {
        const auto dir =
            std::filesystem::temp_directory_path() / ("vl-" + std::to_string(random()));
        if (std::filesystem::create_directory(dir)) return dir;
    }
    throw std::runtime_error("no scratch folder");
}

// A file's bytes, "" when there is none.
inline std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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
