// The mount table behind the file dialog's places: "/" first, then absolute folders,
// each once; the place of a path holds it; a table repeated gives the same places.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "platform/posix/places.h"

namespace {

bool holds(const std::string& place, const std::string& path) {
    return place == "/" || path == place ||
           (path.size() > place.size() && path.compare(0, place.size(), place) == 0 &&
            path[place.size()] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A few dozen mount lines hold every form a line takes; the checks below cost the
    // square of the places, so longer tables only slowed the run.
    const std::string table(reinterpret_cast<const char*>(data), std::min<size_t>(size, 1024));
    const std::vector<std::string> places = platform::placesIn(table);
    check(!places.empty() && places[0] == "/");
    for (size_t i = 1; i < places.size(); ++i) {
        const std::string& p = places[i];
        check(p.size() > 1 && p[0] == '/' && p.back() != '/');
        check(std::count(places.begin(), places.end(), p) == 1);
        check(platform::placeOf(p, places) == p);
        // Inside it, the place is it or a place mounted deeper still.
        const std::string inner = platform::placeOf(p + "/x", places);
        check(inner == p || (inner.size() > p.size() && holds(p, inner)));
    }
    check(platform::placesIn(table + "\n" + table) == places);

    // A path from the input's last line: its place is one of the places and holds it.
    const std::string path = "/" + table.substr(table.rfind('\n') + 1);
    const std::string place = platform::placeOf(path, places);
    check(std::find(places.begin(), places.end(), place) != places.end());
    check(holds(place, path));
    return 0;
}
