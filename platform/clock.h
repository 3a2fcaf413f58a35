// The current date and a clock for intervals, behind an interface so tests can set them.
#pragma once

#include <cstdint>

namespace platform {

struct Date {
    int year = 0, month = 0, day = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual Date today() const = 0;  // local date
    // Milliseconds from a fixed point, never going back: for intervals.
    virtual int64_t milliseconds() const;
};

class SystemClock : public Clock {
  public:
    Date today() const override;
};

}  // namespace platform
