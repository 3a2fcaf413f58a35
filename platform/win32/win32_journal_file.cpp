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

    std::optional<std::string> read() override {
        io::Handle h = io::NoHandle;
        std::string all;
        try {
            h = io::openInput(path_);
            char chunk[1 << 16];
            while (const size_t got = io::read(h, chunk, sizeof chunk, path_))
                all.append(chunk, got);
        } catch (const RuntimeError&) {
            if (h == io::NoHandle) return std::nullopt;
            // a fault part-way: keep what came before it
        }
        io::close(h);
        return all;
    }

    void start(std::string_view bytes) override {
        closeFile();
        // Written beside the journal, flushed and moved over it (as a saved record file),
        // so a crash at any moment leaves either the old journal or the new one.
        io::Output out = io::createOutput(path_);
        try {
            io::writeAll(out.handle, bytes.data(), bytes.size(), path_);
            io::commit(out);
        } catch (...) {
            io::close(out.handle);
            io::remove(out.temp);
            throw;
        }
        // Out of the program's own file lists, as a dot-file is on Linux.
        SetFileAttributesW(win32::widen(path_).c_str(), FILE_ATTRIBUTE_HIDDEN);
        file_ = CreateFileW(win32::widen(path_).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) throw win32::lastError(path_);
        if (!SetFilePointerEx(file_, LARGE_INTEGER{}, nullptr, FILE_END)) {
            const RuntimeError e = win32::lastError(path_);
            closeFile();
            throw e;
        }
    }

    void append(std::string_view bytes) override {
        io::writeAll(reinterpret_cast<io::Handle>(file_), bytes.data(), bytes.size(), path_);
    }

    void sync() override {
        if (!FlushFileBuffers(file_)) throw win32::lastError(path_);
    }

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
