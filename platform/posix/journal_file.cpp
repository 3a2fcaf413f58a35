#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/journal_file.h"

namespace platform {

namespace {

// The file is held (io::hold) from the first call until the program ends, so no other
// program takes it. startSync() hands fdatasync to a thread of its own: it can take tens of
// milliseconds on a busy disk, and the window's thread must answer the logger meanwhile. The thread
// touches nothing but the descriptor, which is closed only when it is idle.
class PosixJournalFile : public JournalFile {
  public:
    explicit PosixJournalFile(std::string name) : name_(std::move(name)) {}
    ~PosixJournalFile() override {
        {
            std::unique_lock lock(mutex_);
            idle(lock);
            quit_ = true;
        }
        wake_.notify_all();
        if (syncer_.joinable()) syncer_.join();
        closeFile();
    }

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
        settle(false);
        held();
        // Written to a file of a fresh name beside the journal and moved over it, so a
        // crash at any moment leaves either the old journal or the new one, never a
        // half-written start; a link at the journal's name is replaced, never followed.
        // Held before it takes the name, so the name is never free.
        io::Output out = io::createOutput(path_, io::Links::Refuse);
        try {
            io::hold(out.handle);
            io::writeAll(out.handle, head.data(), head.size(), path_);
            io::writeAll(out.handle, rest.data(), rest.size(), path_);
            const io::Handle fd = io::commit(out, true);
            closeFile();
            fd_ = fd;
        } catch (...) {
            io::close(out.handle);
            io::remove(out.temp);
            throw;
        }
    }

    void append(std::string_view bytes) override {
        settle(true, false);
        io::writeAll(fd_, bytes.data(), bytes.size(), path_);
    }

    void startSync() override {
        {
            std::lock_guard lock(mutex_);
            if (!syncer_.joinable()) syncer_ = std::thread([this] { run(); });
            requested_ = true;
        }
        wake_.notify_all();
    }

    void sync() override {
        settle(true);
        io::flush(fd_, path_);
    }

    void clear() override {
        claim();
        settle(false);
        held();
        io::empty(fd_, path_);
    }

    void remove() noexcept override {
        settle(false);
        // Only a file it holds: never another program's.
        if (fd_ == io::NoHandle) return;
        io::remove(path_);
        closeFile();
    }

  private:
    void claim() {
        if (!path_.empty()) return;
        io::Held h = io::holdFree(name_);
        path_ = std::move(h.path);
        fd_ = h.handle;
    }
    // The name is held; or, when it could not be, the reason is raised.
    void held() {
        if (fd_ != io::NoHandle) return;
        fd_ = io::createNew(path_);
        if (fd_ != io::NoHandle && io::hold(fd_)) return;
        closeFile();
        throw RuntimeError(err::PathFileAccess, path_ + ": in use by another program");
    }
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return requested_ || quit_; });
            if (quit_) return;
            requested_ = false;
            busy_ = true;
            const io::Handle fd = fd_;
            lock.unlock();
            std::optional<RuntimeError> error;
            try {
                io::flush(fd, path_);
            } catch (const RuntimeError& e) {
                error = e;
            }
            lock.lock();
            busy_ = false;
            if (error && !error_) error_ = error;
            wake_.notify_all();
        }
    }
    void idle(std::unique_lock<std::mutex>& lock) {
        wake_.wait(lock, [this] { return !busy_ && !requested_; });
    }
    // Raises what a sync in the background met; with `wait`, first lets it finish.
    void settle(bool raise, bool wait = true) {
        std::unique_lock lock(mutex_);
        if (wait) idle(lock);
        const auto error = std::exchange(error_, std::nullopt);
        if (raise && error) throw *error;
    }
    void closeFile() {
        io::close(fd_);
        fd_ = io::NoHandle;
    }

    std::string name_;
    std::string path_;  // the one held, of name_'s
    io::Handle fd_ = io::NoHandle;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread syncer_;
    bool requested_ = false, busy_ = false, quit_ = false;
    std::optional<RuntimeError> error_;  // what a sync in the background met
};

}  // namespace

std::unique_ptr<JournalFile> systemJournalFile(std::string path) {
    return std::make_unique<PosixJournalFile>(std::move(path));
}

}  // namespace platform
