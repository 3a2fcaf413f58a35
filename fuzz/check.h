// An invariant of a fuzz target: a broken one stops the run like a crash.
#pragma once

inline void check(bool ok) {
    if (!ok) __builtin_trap();
}
