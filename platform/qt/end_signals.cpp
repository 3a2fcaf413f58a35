#include "platform/qt/end_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/fatal.h"

namespace platform::qt {

namespace {

constexpr int Caught[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};
std::atomic<int> g_caught{0};  // lock-free: safe in a handler, and across threads

void onSignal(int sig) {
    // Shut-down is on its way; any further signal takes its default action and ends
    // the process at once, should shut-down hang (a box nobody answers, a stuck disk).
    // Another thread may be in here with the first one at this very moment.
    if (g_caught.fetch_add(1) > 0) {
        ::signal(sig, SIG_DFL);
        ::raise(sig);  // delivered when this handler returns
        return;
    }
    const int saved = errno;
    for (int s : Caught) ::signal(s, SIG_DFL);
    const char byte = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

EndSignals::EndSignals() {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    for (int s : Caught) {
        struct sigaction old {};
        ::sigaction(s, nullptr, &old);
        if (old.sa_handler == SIG_IGN) continue;  // e.g. started under nohup
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sa.sa_flags = SA_RESTART;
        sigemptyset(&sa.sa_mask);
        for (int other : Caught) sigaddset(&sa.sa_mask, other);
        ::sigaction(s, &sa, nullptr);
    }
}

EndSignals::~EndSignals() {
    for (int s : Caught) {
        struct sigaction old {};
        ::sigaction(s, nullptr, &old);
        if (old.sa_handler == onSignal) ::signal(s, SIG_DFL);
    }
}

void EndSignals::listen(const Handler& handler) {
    if (g_pipe[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, handler] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier_->setEnabled(false);  // once: later signals never get here
        runHandler(handler);
    });
}

}  // namespace platform::qt
