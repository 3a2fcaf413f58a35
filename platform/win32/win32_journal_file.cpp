#include <windows.h>

#include <utility>

#include "platform/file_io.h"
#include "platform/journal_file.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// startSync() simply syncs: FlushFileBuffers on a thread of its own would race the
// window thread's WriteFile on the same handle, and it is asked for at most once a second.
class Win32JournalFile : public JournalFile {
  public:
    explicit Win32JournalFile(std::string path) : path_(std::move(path)) {}
    ~Win32JournalFile() override { closeFile(); }

    std::optional<std::string> read(int64_t limit) override { return io::readWhole(path_, limit); }

    bool moveAside(const std::string& suffix) override {
        return io::moveAside(path_, path_ + suffix);
    }

    void start(std::string_view head, std::string_view rest) override {
        closeFile();
        // Written to a new file of a fresh name beside the journal (CREATE_NEW), flushed
        // and moved over it (as a saved record file), so a crash at any moment leaves
        // either the old journal or the new one; a link at the journal's name is
        // replaced, never followed.
        io::Output out = io::createOutput(path_, io::Links::Refuse);
        try {
            io::writeAll(out.handle, head.data(), head.size(), path_);
            io::writeAll(out.handle, rest.data(), rest.size(), path_);
            // Out of the program's own file lists, as a dot-file is on Linux.
            SetFileAttributesW(win32::widePath(out.temp).c_str(), FILE_ATTRIBUTE_HIDDEN);
            file_ = reinterpret_cast<HANDLE>(io::commit(out, true));
        } catch (...) {
            io::close(out.handle);
            io::remove(out.temp);
            throw;
        }
    }

    void append(std::string_view bytes) override {
        io::writeAll(reinterpret_cast<io::Handle>(file_), bytes.data(), bytes.size(), path_);
    }

    void sync() override { io::flush(reinterpret_cast<io::Handle>(file_), path_); }

    void startSync() override { sync(); }

    void remove() noexcept override {
        closeFile();
        io::remove(path_);
    }

  private:
    void closeFile() noexcept {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    std::string path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<JournalFile> systemJournalFile(std::string path) {
    return std::make_unique<Win32JournalFile>(std::move(path));
}

}  // namespace platform
