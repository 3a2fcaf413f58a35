#include <windows.h>

#include <utility>

#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/journal_file.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// The file is held (io::hold) from the first call until the program ends, but for the
// moment start() moves a new file over it, which MoveFileExW does only when it is closed.
// startSync() simply syncs: FlushFileBuffers on a thread of its own would race the
// window thread's WriteFile on the same handle, and it is asked for at most once a second.
class Win32JournalFile : public JournalFile {
  public:
    explicit Win32JournalFile(std::string name) : name_(std::move(name)) {}
    ~Win32JournalFile() override { closeFile(); }

    std::string name() override {
        claim();
        return path_;
    }

    std::optional<std::string> read(int64_t limit) override {
        claim();
        return io::readWhole(path_, limit);
    }

    bool moveAside(const std::string& suffix) override {
        claim();
        if (!io::moveAside(path_, path_ + suffix)) return false;
        closeFile();
        // Its name is held again at once, empty; or the first write says why not.
        try {
            held();
        } catch (const RuntimeError&) {
        }
        return true;
    }

    void start(std::string_view head, std::string_view rest) override {
        claim();
        held();
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
            io::hold(reinterpret_cast<io::Handle>(file_));
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

    void clear() override {
        claim();
        held();
        io::empty(reinterpret_cast<io::Handle>(file_), path_);
    }

    void remove() noexcept override {
        // Only a file it holds: never another program's.
        if (file_ == INVALID_HANDLE_VALUE) return;
        closeFile();
        io::remove(path_);
    }

  private:
    void claim() {
        if (!path_.empty()) return;
        io::Held h = io::holdFree(name_);
        path_ = std::move(h.path);
        if (h.handle != io::NoHandle) file_ = reinterpret_cast<HANDLE>(h.handle);
    }
    // The name is held; or, when it could not be, the reason is raised.
    void held() {
        if (file_ != INVALID_HANDLE_VALUE) return;
        const io::Handle h = io::createNew(path_);
        if (h != io::NoHandle && io::hold(h)) {
            file_ = reinterpret_cast<HANDLE>(h);
            return;
        }
        io::close(h);
        throw RuntimeError(err::PathFileAccess, path_ + ": in use by another program");
    }
    void closeFile() noexcept {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    std::string name_;
    std::string path_;  // the one held, of name_'s
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<JournalFile> systemJournalFile(std::string path) {
    return std::make_unique<Win32JournalFile>(std::move(path));
}

}  // namespace platform
