#include "port_settings/settings_format.h"

namespace settings {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

class Reader {
  public:
    explicit Reader(std::string_view text) : s_(text) {}

    std::optional<std::string> field() {
        while (i_ < s_.size() && (isBlank(s_[i_]) || isLineEnd(s_[i_]))) ++i_;
        if (i_ == s_.size()) return std::nullopt;
        std::string value;
        if (s_[i_] == '"') {
            const size_t close = s_.find('"', i_ + 1);
            if (close == std::string_view::npos) return std::nullopt;
            value = s_.substr(i_ + 1, close - i_ - 1);
            i_ = close + 1;
            while (i_ < s_.size() && s_[i_] != ',' && !isLineEnd(s_[i_])) ++i_;
        } else {
            size_t end = i_;
            while (end < s_.size() && s_[end] != ',' && !isLineEnd(s_[end])) ++end;
            size_t last = end;
            while (last > i_ && isBlank(s_[last - 1])) --last;
            value = s_.substr(i_, last - i_);
            i_ = end;
        }
        // A line end after a field is skipped with the blanks before the next one.
        if (i_ < s_.size() && s_[i_] == ',') ++i_;
        return value;
    }

  private:
    std::string_view s_;
    size_t i_ = 0;
};

std::optional<int16_t> toInt16(std::string_view t) {
    size_t k = 0;
    bool negative = false;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) negative = t[k++] == '-';
    if (k == t.size()) return std::nullopt;
    long v = 0;
    for (; k < t.size(); ++k) {
        if (t[k] < '0' || t[k] > '9') return std::nullopt;
        v = v * 10 + (t[k] - '0');
        if (v > 32768) return std::nullopt;  // stop before long digit runs overflow
    }
    if (negative) v = -v;
    if (v > INT16_MAX) return std::nullopt;
    return static_cast<int16_t>(v);
}

}  // namespace

std::optional<PortSettings> parse(std::string_view text) {
    Reader r(text);
    auto port = r.field();
    if (!port) return std::nullopt;
    auto bps = r.field();
    if (!bps) return std::nullopt;
    auto folder = r.field();
    if (!folder) return std::nullopt;
    auto n = toInt16(*port);
    if (!n) return std::nullopt;
    return PortSettings{*n, std::move(*bps), std::move(*folder)};
}

std::string format(const PortSettings& s) {
    return std::to_string(s.port) + "\r\n\"" + s.bps + "\"\r\n\"" + s.folder + "\"\r\n";
}

}  // namespace settings
