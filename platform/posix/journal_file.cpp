#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/journal_file.h"

namespace platform {

namespace {

// startSync() hands fdatasync to a thread of its own: it can take tens of milliseconds on
// a busy disk, and the window's thread must answer the logger meanwhile. The thread
// touches nothing but the descriptor, which is closed only when it is idle.
class PosixJournalFile : public JournalFile {
  public:
    explicit PosixJournalFile(std::string path) : path_(std::move(path)) {}
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

    std::optional<std::string> read(int64_t limit) override { return io::readWhole(path_, limit); }

    bool moveAside(const std::string& suffix) override {
        return io::moveAside(path_, path_ + suffix);
    }

    void start(std::string_view head, std::string_view rest) override {
        settle(false);
        closeFile();
        // Written to a file of a fresh name beside the journal and moved over it, so a
        // crash at any moment leaves either the old journal or the new one, never a
        // half-written start; a link at the journal's name is replaced, never followed.
        io::Output out = io::createOutput(path_, io::Links::Refuse);
        try {
            io::writeAll(out.handle, head.data(), head.size(), path_);
            io::writeAll(out.handle, rest.data(), rest.size(), path_);
            fd_ = io::commit(out, true);
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

    void remove() noexcept override {
        settle(false);
        closeFile();
        io::remove(path_);
    }

  private:
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

    std::string path_;
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
