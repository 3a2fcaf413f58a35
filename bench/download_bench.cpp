// The receive path per byte and per frame (Google Benchmark), then whole downloads from
// the simulated logger over a pseudo-terminal through the real serial port, printed as
// plain figures: full speed (records/s, reply latency seen by the logger) and paced at
// 57600 bit/s (time against the wire time, and the CPU the receiving process used).
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <thread>

#include "bench/child.h"
#include "download/frame_check.h"
#include "main_window/vorbix_loader.h"
#include "platform/journal_file.h"
#include "platform/posix/termios_comm_port.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"
#include "tools/sim/lap_records.h"
#include "tools/sim/logger.h"

namespace fs = std::filesystem;

namespace {

// A serial port that hands over a prepared stream one receive event per byte, as the
// real one does, and drops the replies: only the program's own work is measured.
class StreamPort : public fake::SilentPort {
  public:
    void output(const std::string& b) override { sent += b.size(); }
    std::string input() override {
        return pos < stream->size() ? std::string(1, (*stream)[pos++]) : "";
    }
    int16_t commEvent() const override { return platform::comm::EvReceive; }

    void play(const std::string& s) {
        stream = &s;
        pos = 0;
        while (pos < s.size()) onComm();
    }
    const std::string* stream = nullptr;
    size_t pos = 0;
    size_t sent = 0;
};

// The record text without the change log of the test fake.
struct QuietText : fake::TextBox {
    void setText(const std::string& s) override { value = s; }
    void setSelText(std::string s) override { value += s; }
};

std::vector<std::string> lapLines(int count) {
    std::vector<std::string> lines;
    for (const auto& r : sim::lapRecords(count, 5)) lines.push_back(frame::encode(r));
    return lines;
}

// Argument 1: with the crash journal on, in a scratch folder on the disk of temporary files.
void BM_ReceiveStep(benchmark::State& state) {
    support::ScratchDir scratch;
    auto journal = platform::systemJournalFile(Journal::FileName);
    fake::Log log;
    fake::Ui ui{&log};
    fake::Form form{VorbixLoader::formTable(), &log};
    auto quiet = std::make_unique<QuietText>();
    quiet->log = &log;
    quiet->name = "Text1";
    form.controls["Text1"] = std::move(quiet);
    StreamPort port;
    platform::Files files;
    fake::Clock clock;
    platform::JournalFile* journalled = state.range(0) ? journal.get() : nullptr;
    VorbixLoader vl{ui, form, port, files, platform::systemFileSystem(), clock, journalled};
    std::string stream;
    const int records = 1000;
    for (const auto& l : lapLines(records)) stream += l + "\r";
    for (auto _ : state) {
        state.PauseTiming();
        form.ftext("Text1").value.clear();
        vl.journal.downloadStarted();  // as a download starts: an empty journal
        state.ResumeTiming();
        port.play(stream);
    }
    if (!ui.boxes.empty()) state.SkipWithError(ui.boxes[0].text.c_str());
    benchmark::DoNotOptimize(form.ftext("Text1").value.data());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["per_byte"] = benchmark::Counter(
        static_cast<double>(stream.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["per_record"] = benchmark::Counter(
        records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceiveStep)->ArgName("journal")->Arg(0)->Arg(1);

void BM_FrameCheck(benchmark::State& state) {
    const auto lines = lapLines(256);
    size_t i = 0;
    int64_t passed = 0;
    for (auto _ : state) {
        std::string_view rec;
        passed += frame::check(lines[i++ & 255], &rec);
        benchmark::DoNotOptimize(rec);
    }
    if (passed != state.iterations()) state.SkipWithError("a valid frame failed the check");
    state.counters["per_frame"] = benchmark::Counter(
        1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FrameCheck);

double seconds(clockid_t c) {
    timespec t{};
    clock_gettime(c, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The program on fake windows with the real serial port on COM9 of a scratch folder, and
// the crash journal there when `journal` is set.
struct JournalHere {
    std::unique_ptr<platform::JournalFile> journalFile =
        platform::systemJournalFile(Journal::FileName);  // opened once the folder is current
};
struct Host : JournalHere, fake::ProgramWith<platform::posix::TermiosCommPort> {
    support::ScratchDir dir;

    Host(const std::string& device, bool journal)
        : ProgramWith(journal ? journalFile.get() : nullptr) {
        fs::create_symlink(device, "COM9");
        comm.setLockDirectories({dir.path()});
        vl.PORT_NO = 9;
        vl.BPS_ = "57600";
        vl.OpenCommPort();
    }
    ~Host() {
        vl.MSComm1.onComm = nullptr;
        comm.setPortOpen(false);
    }
    // One download; the wall time from the press to the end message, or -1 when it
    // does not end within `limitSec`.
    double download(int limitSec) {
        QEventLoop loop;
        bool ended = false;
        ui.onMsgBox = [&] {
            ended = ui.boxes.back().text == "!! Down load end !!";
            loop.quit();
        };
        QTimer::singleShot(limitSec * 1000, &loop, &QEventLoop::quit);
        const auto t0 = std::chrono::steady_clock::now();
        form.fbutton("down_load").onClick();
        loop.exec();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ui.onMsgBox = nullptr;
        return ended ? wall : -1;
    }
    size_t records() const {
        const auto& t = const_cast<fake::Form&>(form).ftext("Text1").value;
        size_t n = 0;
        for (size_t p = 0; (p = t.find("\r\n", p)) != std::string::npos; p += 2) ++n;
        return n;
    }
};

// Bytes on the line for one clean download of `count` records: the logger's frames with
// their CRs, and the host's command and one reply per frame.
size_t wireBytes(int count, uint64_t session) {
    size_t bytes = 7 + 7 + 5;  // start and end frames, "DOWN" CR
    for (const auto& r : sim::lapRecords(count, session)) bytes += frame::encode(r).size() + 1;
    return bytes + 3 * static_cast<size_t>(count + 2);
}

const char* journalled(bool journal) {
    return journal ? "journal on" : "journal off";
}

void fullSpeed(int count, bool journal) {
    sim::Options o;
    o.count = count;
    sim::Line line = sim::openPty();
    const std::string dev = line.peerPath();
    sim::LoggerThread logger(std::move(line), o);
    Host host(dev, journal);
    const double wall = host.download(120);
    // The reply to the end record may still be on its way to the logger.
    for (int i = 0; i < 200 && logger.stats().downloadNs.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const sim::Stats st = logger.stats();
    if (wall < 0 || host.records() != static_cast<size_t>(count)) {
        std::printf("full speed, %s: download of %d records failed (%zu listed)\n",
                    journalled(journal), count, host.records());
        return;
    }
    std::printf(
        "full speed, %s, %d records: %.3f s, %.0f records/s; reply latency at the logger "
        "p50 %.1f us, p99 %.1f us (%zu replies)\n",
        journalled(journal), count, wall, count / wall, sim::percentile(st.replyNs, 0.50) / 1e3,
        sim::percentile(st.replyNs, 0.99) / 1e3, st.replyNs.size());
}

void paced(int count, long bps, bool journal) {
    sim::Child child(LOGGER_SIM, {"--count=" + std::to_string(count), "--session=1",
                                  "--pace=" + std::to_string(bps), "--once", "--stats"});
    Host host(child.firstLine(), journal);
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double wall = host.download(60);
    const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    if (wall < 0 || host.records() != static_cast<size_t>(count)) {
        std::printf("paced, %s: download of %d records failed (%zu listed)\n", journalled(journal),
                    count, host.records());
        return;
    }
    const double wire = static_cast<double>(wireBytes(count, 1)) * 10 / static_cast<double>(bps);
    std::printf("paced at %ld bit/s, %s, %d records: %.3f s against %.3f s wire time, ratio %.4f\n",
                bps, journalled(journal), count, wall, wire, wall / wire);
    std::printf("receive path CPU at %ld bit/s, %s: %.3f s CPU in %.3f s, %.3f %% of one core\n",
                bps, journalled(journal), cpu, wall, 100 * cpu / wall);
    // The logger's own view, for telling the host's delays from the logger's.
    std::string figures;
    child.wait(5000, &figures);
    std::printf("logger's figures: %s", figures.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    QCoreApplication app(argc, argv);
    try {
        // Alternating, so that the load on a shared machine falls on both alike.
        for (int run = 0; run < 3; ++run)
            for (const bool journal : {false, true}) fullSpeed(10000, journal);
        for (int run = 0; run < 3; ++run)
            for (const bool journal : {false, true}) paced(500, 57600, journal);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "download_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
