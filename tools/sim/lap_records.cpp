#include "tools/sim/lap_records.h"

#include <cstdio>

namespace sim {

namespace {
// splitmix64: tiny, and the same sequence on every platform and library.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int between(int lo, int hi) {  // inclusive
        return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
};

std::string format(int lap, int ms, bool best) {
    char buf[32];
    const int minutes = ms / 60000, seconds = ms / 1000 % 60, millis = ms % 1000;
    if (minutes == 0)
        std::snprintf(buf, sizeof buf, "%03d  %d.%03d", lap % 1000, seconds, millis);
    else
        std::snprintf(buf, sizeof buf, "%03d  %d:%02d.%03d", lap % 1000, minutes % 100, seconds,
                      millis);
    std::string s(buf);
    if (best) s += '*';
    return s;
}
}  // namespace

std::vector<std::string> lapRecords(int count, uint64_t session) {
    Random rnd{session};
    std::vector<std::string> out;
    out.reserve(count > 0 ? count : 0);
    while (static_cast<int>(out.size()) < count) {
        const int laps = rnd.between(5, 40);
        const int base = rnd.between(28000, 110000);  // the track's pace, ms
        std::vector<int> times;
        for (int i = 0; i < laps && static_cast<int>(out.size() + times.size()) < count; ++i) {
            int t = base + rnd.between(-1500, 3000);
            if (i == 0) t += base * rnd.between(20, 40) / 100;  // out-lap
            times.push_back(t);
        }
        size_t best = 0;
        for (size_t i = 1; i < times.size(); ++i)
            if (times[i] < times[best]) best = i;
        for (size_t i = 0; i < times.size(); ++i)
            out.push_back(format(static_cast<int>(i) + 1, times[i], i == best));
    }
    return out;
}

}  // namespace sim
