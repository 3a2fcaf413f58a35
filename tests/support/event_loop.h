// Tests of the real serial port wait for it in the Qt event loop.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <functional>

namespace support {

// Runs the event loop until `done` holds or `limitMs` pass; returns `done()`.
inline bool runUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QTimer tick;  // wakes the wait below to look at `done` again
    tick.start(5);
    for (QDeadlineTimer limit(limitMs); !done() && !limit.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

}  // namespace support
