// Splits the byte stream of a terminal in PARMRK mode into data bytes and line errors.
// The kernel marks a character received with a framing or parity error (or a break) as
// 0xFF 0x00 c and doubles a genuine 0xFF; a read may end anywhere in such a sequence,
// so the decoder keeps its state from one feed to the next.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

class LineDecoder {
  public:
    // Appends the data bytes of `raw` to `data`. For every marked character, appends to
    // `errors` the size `data` had when the mark arrived, so errors keep their place in
    // the stream. The marked character itself is dropped: it is known to be wrong, and
    // the error alone makes the program reject the line it belongs to.
    void feed(std::string_view raw, std::string& data, std::vector<size_t>& errors);

    // Forgets a partly received mark (after the input queue has been flushed).
    void reset() { state_ = State::Plain; }

  private:
    enum class State { Plain, Escape, Marked };
    State state_ = State::Plain;
};

}  // namespace platform::posix
