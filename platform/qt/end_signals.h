// SIGTERM, SIGINT and SIGHUP as a request to end, raised from the Qt event loop: the
// signal handler only writes a byte to a pipe that a socket notifier watches.
#pragma once

#include <memory>

#include "platform/controls.h"

class QSocketNotifier;

namespace platform::qt {

class EndSignals {
  public:
    // Catches the signals from now on (one that was ignored when the process started
    // stays ignored); until listen() they wait in the pipe.
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // Runs `handler` once, behind platform::runHandler, when the first signal reaches
    // the event loop. A second signal ends the process at once, as if never caught.
    void listen(const Handler& handler);

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform::qt
