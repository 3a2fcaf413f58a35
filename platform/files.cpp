#include "platform/files.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/file_io.h"

namespace platform {

namespace {
#ifndef VL_FILES_READ_CHUNK
#define VL_FILES_READ_CHUNK 65536  // the fuzz target makes it small, so lines cross it often
#endif
constexpr size_t ReadChunk = VL_FILES_READ_CHUNK;
}  // namespace

struct Files::File {
    io::Output out;  // output: the temporary file and its target
    io::Handle in = io::NoHandle;
    bool output = false;
    std::string buf;  // input: bytes read, not yet consumed from `pos`; output: pending
    size_t pos = 0;
    bool atEnd = false;
    int64_t left = 0;  // input: bytes not yet read of what the file held when opened
    int64_t length = 0;
};

Files::Files() = default;

Files::~Files() {
    while (!open_.empty()) discard(open_.begin()->first);
}

int16_t Files::freeFile() const {
    int16_t n = 1;
    while (open_.count(n)) ++n;
    if (n > 511) throw RuntimeError(err::TooManyFiles, "Too many files");
    return n;
}

Files::File& Files::get(int16_t n) {
    auto it = open_.find(n);
    if (it == open_.end()) throw RuntimeError(err::BadFileNumber, "Bad file name or number");
    return *it->second;
}

void Files::openInput(int16_t n, const std::string& path) {
    if (open_.count(n)) throw RuntimeError(err::FileAlreadyOpen, "File already open");
    auto f = std::make_unique<File>();
    f->in = io::openInput(path);
    try {
        f->left = f->length = io::sizeOf(f->in, path);
    } catch (...) {
        io::close(f->in);
        throw;
    }
    open_[n] = std::move(f);
}

int64_t Files::lof(int16_t n) {
    File& f = get(n);
    if (f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    return f.length;
}

void Files::openOutput(int16_t n, const std::string& name, io::Links links) {
    if (open_.count(n)) throw RuntimeError(err::FileAlreadyOpen, "File already open");
    auto f = std::make_unique<File>();
    f->out = io::createOutput(name, links);
    f->output = true;
    open_[n] = std::move(f);
}

void Files::flush(File& f) {
    std::string pending;
    pending.swap(f.buf);  // dropped also when the write fails
    io::writeAll(f.out.handle, pending.data(), pending.size(), f.out.target);
}

void Files::print(int16_t n, std::string_view bytes) {
    File& f = get(n);
    if (!f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    f.buf.append(bytes);
    if (f.buf.size() >= 1 << 16) flush(f);
}

void Files::fill(File& f) {
    if (f.atEnd) return;
    if (f.pos > 0) {
        f.buf.erase(0, f.pos);
        f.pos = 0;
    }
    char chunk[ReadChunk];
    const auto want = static_cast<size_t>(std::min<int64_t>(f.left, sizeof chunk));
    const size_t r = want == 0 ? 0 : io::read(f.in, chunk, want, "read");
    if (r == 0) f.atEnd = true;  // also when the file shrank meanwhile
    f.left -= static_cast<int64_t>(r);
    f.buf.append(chunk, r);
}

std::string Files::readAll(int16_t n) {
    File& f = get(n);
    if (f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    while (!f.atEnd) fill(f);
    std::string all = f.buf.substr(f.pos);
    f.pos = f.buf.size();
    return all;
}

bool Files::eof(int16_t n) {
    File& f = get(n);
    if (f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    while (f.pos >= f.buf.size() && !f.atEnd) fill(f);
    return f.pos >= f.buf.size();
}

std::string Files::lineInput(int16_t n) {
    if (eof(n)) throw RuntimeError(err::InputPastEnd, "Input past end of file");
    File& f = get(n);
    size_t from = f.pos;
    for (;;) {
        size_t end = f.buf.find_first_of("\r\n", from);
        if (end == std::string::npos) {
            if (f.atEnd) {
                std::string line = f.buf.substr(f.pos);
                f.pos = f.buf.size();
                return line;
            }
            from = f.buf.size() - f.pos;
            fill(f);  // moves the unread bytes to the front
            continue;
        }
        if (f.buf[end] == '\r' && end + 1 == f.buf.size() && !f.atEnd) {
            from = end - f.pos;
            fill(f);  // need the byte after the CR
            continue;
        }
        std::string line = f.buf.substr(f.pos, end - f.pos);
        f.pos = end + 1;
        if (f.buf[end] == '\r' && f.pos < f.buf.size() && f.buf[f.pos] == '\n') ++f.pos;
        return line;
    }
}

void Files::close(int16_t n) {
    auto it = open_.find(n);
    if (it == open_.end()) return;
    File& f = *it->second;
    if (f.output) {
        try {
            flush(f);
            io::commit(f.out);
        } catch (...) {
            discard(n);
            throw;
        }
    } else {
        io::close(f.in);
    }
    open_.erase(it);
}

void Files::discard(int16_t n) noexcept {
    auto it = open_.find(n);
    if (it == open_.end()) return;
    File& f = *it->second;
    if (f.output) {
        io::close(f.out.handle);
        io::remove(f.out.temp);
    } else {
        io::close(f.in);
    }
    open_.erase(it);
}

void Files::closeAll() {
    while (!open_.empty()) close(open_.begin()->first);
}

}  // namespace platform
