#include "platform/error.h"

namespace platform {

std::string shortened(std::string_view text, size_t limit) {
    if (text.size() <= limit) return std::string(text);
    return std::string(text.substr(0, limit - 3)) + "...";
}

}  // namespace platform
