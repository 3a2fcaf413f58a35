// Where folders live on this system: the mounted places the file dialog offers as drives,
// and the documents folder.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The places that hold folders, standing in for drives: "/" first, then the mounted
// volumes an operator would carry files on (removable media, other disks).
std::vector<std::string> places();

// The place that holds `path` (the longest place that is a prefix of it), "/" at least.
std::string placeOf(const std::string& path);

// The same from given inputs: `mounts` is the text of a mount table in the format of
// /proc/self/mounts.
std::vector<std::string> placesIn(const std::string& mounts);
std::string placeOf(const std::string& path, const std::vector<std::string>& among);

// The documents folder named by `userDirs`, the text of a user-dirs.dirs file, for the
// home folder `home`; `home` itself when it names none.
std::string documentsFolderIn(const std::string& userDirs, const std::string& home);

}  // namespace platform
