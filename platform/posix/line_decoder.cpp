#include "platform/posix/line_decoder.h"

namespace platform::posix {

namespace {
constexpr char Mark = '\xFF';
}

void LineDecoder::feed(std::string_view raw, std::string& data, std::vector<size_t>& errors) {
    for (char c : raw) {
        switch (state_) {
            case State::Plain:
                if (c == Mark)
                    state_ = State::Escape;
                else
                    data.push_back(c);
                break;
            case State::Escape:
                if (c == Mark) {
                    data.push_back(Mark);
                    state_ = State::Plain;
                } else if (c == '\0') {
                    state_ = State::Marked;
                } else {
                    // Not a sequence the kernel makes; keep both bytes rather than lose data.
                    data.push_back(Mark);
                    data.push_back(c);
                    state_ = State::Plain;
                }
                break;
            case State::Marked:
                errors.push_back(data.size());
                state_ = State::Plain;
                break;
        }
    }
}

}  // namespace platform::posix
