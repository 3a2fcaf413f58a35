// logger-sim: plays the lap-timing logger on a new pseudo-terminal (its path is printed
// as the first line) or on a serial device, for trying the loader without the hardware.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/sim/lap_records.h"
#include "tools/sim/logger.h"

namespace {

const char* const Usage =
    "usage: logger-sim [options]\n"
    "  --device=PATH      serve this serial device instead of a new pseudo-terminal\n"
    "  --speed=BPS        line speed of --device (default 57600)\n"
    "  --count=N          lap records held (default 20)\n"
    "  --session=S        which session of lap records (default 1)\n"
    "  --max-resend=R     resends of a frame answered ER (default 3)\n"
    "  --pace=BPS         send and receive no faster than BPS bit/s, 10 bits a byte\n"
    "                     (keeps time awake: it uses a core while it runs)\n"
    "  --once             end after the first download\n"
    "  --repeat           answer every download command until stopped (the default)\n"
    "  --stats            on exit, print reply latency and download figures\n"
    "  --log              print every line the host sends on stderr\n"
    "  --laps             print the lap records held, one a line, and end\n"
    "Faults, in the first download only; frame 0 is the start record, 1..N the laps,\n"
    "N+1 the end record:\n"
    "  --bad-checksum=K[,K...]  first transmission with a wrong checksum\n"
    "  --lf-before=K[,K...]     first transmission with an LF before its CR\n"
    "  --lf-after=K[,K...]      first transmission with an LF after its CR\n"
    "  --long-line=K:N[,K:N...] first transmission is N \"A\"s and a CR, in one write\n"
    "  --no-cr=K                send frame K without its CR, then stall\n"
    "  --stall-after=K          send nothing more once K frames are answered\n"
    "  --hangup-after=K         close the line once K frames are answered\n";

sim::Logger* g_logger = nullptr;

extern "C" void onSignal(int) {
    if (g_logger) g_logger->stop();
}

[[noreturn]] void usage(const std::string& problem) {
    std::fprintf(stderr, "logger-sim: %s\n%s", problem.c_str(), Usage);
    std::exit(2);
}

long number(const std::string& name, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0) usage("bad value for " + name);
    return v;
}

std::vector<std::string> list(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        out.push_back(text.substr(from, comma - from));
        if (comma == std::string::npos) return out;
        from = comma + 1;
    }
}

std::set<int> numbers(const std::string& name, const std::string& text) {
    std::set<int> out;
    for (const std::string& n : list(text)) out.insert(static_cast<int>(number(name, n)));
    return out;
}

struct Args {
    sim::Options opt;
    std::string device;
    long speed = 57600;
    bool stats = false;
    bool laps = false;
};

// An option without a value; false when there is no such option.
bool flag(Args& a, const std::string& name) {
    if (name == "--once")
        a.opt.once = true;
    else if (name == "--repeat")
        a.opt.once = false;
    else if (name == "--log")
        a.opt.log = true;
    else if (name == "--stats")
        a.stats = true;
    else if (name == "--laps")
        a.laps = true;
    else
        return false;
    return true;
}

// An option with a value; false when there is no such option.
bool setting(Args& a, const std::string& name, const std::string& value) {
    sim::Options& opt = a.opt;
    auto count = [&] { return static_cast<int>(number(name, value)); };
    if (name == "--device")
        a.device = value;
    else if (name == "--speed")
        a.speed = number(name, value);
    else if (name == "--count")
        opt.count = count();
    else if (name == "--session")
        opt.session = static_cast<uint64_t>(number(name, value));
    else if (name == "--max-resend")
        opt.maxResend = count();
    else if (name == "--pace")
        opt.pace = number(name, value);
    else if (name == "--bad-checksum")
        opt.badChecksum = numbers(name, value);
    else if (name == "--lf-before")
        opt.lfBefore = numbers(name, value);
    else if (name == "--lf-after")
        opt.lfAfter = numbers(name, value);
    else if (name == "--no-cr")
        opt.noCr = count();
    else if (name == "--stall-after")
        opt.stallAfter = count();
    else if (name == "--hangup-after")
        opt.hangupAfter = count();
    else if (name == "--long-line") {
        for (const std::string& pair : list(value)) {
            const size_t colon = pair.find(':');
            if (colon == std::string::npos) usage("bad value for " + name);
            opt.longLine[static_cast<int>(number(name, pair.substr(0, colon)))] =
                static_cast<size_t>(number(name, pair.substr(colon + 1)));
        }
    } else
        return false;
    return true;
}

Args parse(int argc, char** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (name == "--help" || name == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        }
        const bool known =
            eq == std::string::npos ? flag(a, name) : setting(a, name, arg.substr(eq + 1));
        if (!known) usage("unknown option " + arg);
    }
    // A frame holds at most 255 payload bytes; the count only sizes the record list.
    if (a.opt.count > 1'000'000) usage("--count is too large");
    return a;
}

void printStats(const sim::Stats& s) {
    std::printf("downloads %d bytes_in %llu bytes_out %llu frames %zu\n", s.downloads,
                static_cast<unsigned long long>(s.bytesIn),
                static_cast<unsigned long long>(s.bytesOut), s.replyNs.size());
    std::printf("reply_us p50 %.1f p99 %.1f\n", sim::percentile(s.replyNs, 0.50) / 1e3,
                sim::percentile(s.replyNs, 0.99) / 1e3);
    if (!s.downloadNs.empty()) std::printf("download_ms last %.3f\n", s.downloadNs.back() / 1e6);
    std::fflush(stdout);
}

int serve(const Args& a) {
    sim::Line line = a.device.empty() ? sim::openPty() : sim::openDevice(a.device, a.speed);
    const std::string served = a.device.empty() ? line.peerPath() : a.device;
    sim::Logger logger(std::move(line), a.opt);
    // Ready for a stop request before anyone learns where to find us.
    g_logger = &logger;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", served.c_str());
    std::fflush(stdout);

    const sim::Logger::End end = logger.run();
    g_logger = nullptr;
    if (a.stats) printStats(logger.stats());
    if (end == sim::Logger::End::LineLost) {
        std::fprintf(stderr, "logger-sim: the line was lost\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Args a = parse(argc, argv);
    if (a.laps) {
        for (const auto& r : sim::lapRecords(a.opt.count, a.opt.session))
            std::printf("%s\n", r.c_str());
        return 0;
    }
    try {
        return serve(a);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "logger-sim: %s\n", e.what());
        return 1;
    }
}
