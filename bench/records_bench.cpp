// Saving and loading a long download through the file dialog, on fakes and real files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "main_window/vorbix_loader.h"
#include "platform/record_lines.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
constexpr int Records = 100000;

std::string recordText(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += std::to_string(i % 100) + "  12.345\r\n";
    return text;
}

struct Rig : fake::Program {
    support::ScratchDir dir{support::ScratchDir::Beside};
    fake::TextBox& records = text;

    Rig() {
        vl.PASS_NAME = dir.path();
        auto ok = [](fake::Form& f) { f.fbutton("Command1").onClick(); };
        ui.operators[" SAVE"] = ok;
        ui.operators[" LOAD"] = ok;
    }
};

void BM_Save(benchmark::State& state) {
    Rig rig;
    rig.records.value = recordText(Records);
    for (auto _ : state) {
        rig.ui.answers.push_back(platform::Answer::Yes);  // replaces the last run's file
        rig.vl.FILE_SAVE_Click();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(rig.records.value.size()));
    state.counters["records"] = Records;
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
    Rig rig;
    rig.records.value = recordText(Records);
    rig.vl.FILE_SAVE_Click();
    const size_t bytes = rig.records.value.size();
    for (auto _ : state) {
        rig.vl.FILE_LOAD_Click();
        state.PauseTiming();
        if (rig.records.value.size() != bytes + 2) state.SkipWithError("load lost records");
        rig.log.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(bytes));
    state.counters["records"] = Records;
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

// Listing one more record at the end of a text already holding range(0) records.
void BM_ListOneRecord(benchmark::State& state) {
    fake::Log log;
    fake::TextBox box;
    box.log = &log;
    box.name = "Text1";
    box.value = recordText(int(state.range(0)));
    const size_t base = box.value.size();
    box.selStart = base;
    for (auto _ : state) {
        box.setSelText("12.345\r\n");
        box.value.resize(base);
        box.selStart = base;
        log.clear();
    }
}
BENCHMARK(BM_ListOneRecord)->Arg(0)->Arg(Records - 1);

// The same in the storage both record views keep (its memory: record_text_bench), up to
// the million lines of the largest file; then the line a screen reader's offset falls in.
void BM_RecordLinesListOneRecord(benchmark::State& state) {
    platform::RecordLines lines;
    lines.setText(recordText(int(state.range(0))));
    lines.moveCaret(lines.last(), false);
    for (auto _ : state) lines.replaceSelection("12.345\r\n");
}
BENCHMARK(BM_RecordLinesListOneRecord)->Arg(0)->Arg(1000000);

void BM_RecordLinesOffsetToLine(benchmark::State& state) {
    platform::RecordLines lines;
    lines.setText(recordText(1000000));
    size_t offset = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lines.posOf(offset, 1));
        offset = (offset + 7919) % lines.size();
    }
}
BENCHMARK(BM_RecordLinesOffsetToLine);

}  // namespace
