#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/error.h"
#include "platform/journal_file.h"

namespace platform {

namespace {

void writeAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t w = ::write(fd, bytes.data(), bytes.size());
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) throw fromErrno(errno, path);
        bytes.remove_prefix(static_cast<size_t>(w));
    }
}

// Makes a new name durable: it lives in the folder's own data.
void syncFolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

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

    std::optional<std::string> read() override {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return std::nullopt;
        std::string all;
        char chunk[1 << 16];
        for (;;) {
            const ssize_t r = ::read(fd, chunk, sizeof chunk);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;  // the end, or a fault: keep what came before it
            all.append(chunk, static_cast<size_t>(r));
        }
        ::close(fd);
        return all;
    }

    void start(std::string_view bytes) override {
        settle(false);
        closeFile();
        // Written beside the journal and renamed over it, so a crash at any moment leaves
        // either the old journal or the new one, never a half-written start.
        const std::string temp = path_ + ".new";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) throw fromErrno(errno, path_);
        try {
            writeAll(fd, bytes, path_);
            if (::fdatasync(fd) != 0) throw fromErrno(errno, path_);
            if (::rename(temp.c_str(), path_.c_str()) != 0) throw fromErrno(errno, path_);
        } catch (...) {
            ::close(fd);
            ::unlink(temp.c_str());
            throw;
        }
        fd_ = fd;
        syncFolderOf(path_);
    }

    void append(std::string_view bytes) override {
        settle(true, false);
        writeAll(fd_, bytes, path_);
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
        if (::fdatasync(fd_) != 0) throw fromErrno(errno, path_);
    }

    void remove() noexcept override {
        settle(false);
        closeFile();
        ::unlink(path_.c_str());
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return requested_ || quit_; });
            if (quit_) return;
            requested_ = false;
            busy_ = true;
            const int fd = fd_;
            lock.unlock();
            const int error = ::fdatasync(fd) == 0 ? 0 : errno;
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
        const int error = std::exchange(error_, 0);
        if (raise && error) throw fromErrno(error, path_);
    }
    void closeFile() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    std::string path_;
    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread syncer_;
    bool requested_ = false, busy_ = false, quit_ = false;
    int error_ = 0;  // errno of a sync in the background that failed
};

}  // namespace

std::unique_ptr<JournalFile> systemJournalFile(std::string path) {
    return std::make_unique<PosixJournalFile>(std::move(path));
}

}  // namespace platform
