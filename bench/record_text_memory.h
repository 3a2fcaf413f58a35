// The record text's memory, as both record text benchmarks measure it (record_text_bench.cpp
// offscreen, record_text_win32.cpp under Wine): a restore and a 1,000,000-record load
// through the program's own journal and file code, each against the memory just before.
#pragma once

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <cstdlib>
#include <cstring>
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "main_window/journal.h"
#include "platform/controls.h"
#include "platform/files.h"

namespace bench {

// Resident memory now and at its peak so far, in MiB.
inline std::pair<double, double> residentMb() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return {c.WorkingSetSize / 1048576.0, c.PeakWorkingSetSize / 1048576.0};
#else
    std::pair<double, double> mb;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) mb.first = std::atof(line.c_str() + 6) / 1024;
        if (line.starts_with("VmHWM:")) mb.second = std::atof(line.c_str() + 6) / 1024;
    }
    return mb;
#endif
}

// `settle` lets the window show what it was given.
class RecordTextMemory {
  public:
    RecordTextMemory(platform::TextBox& text, std::function<void()> settle)
        : text_(text), settle_(std::move(settle)) {}

    // A 16 MiB journal read, listed and written afresh, as a Yes to "restore?" does.
    void restore(const std::filesystem::path& dir) {
        const std::filesystem::path path = dir / Journal::FileName;
        size_t bytes = 0;
        {
            std::ofstream out(path, std::ios::binary);
            out << Journal::Header;
            // In entries of 60 KiB, which a journal of any shape restores alike.
            std::string records;
            for (int i = 0; i < 4096; ++i) records += "001  1:23.456\r\n";
            const std::string entry = Journal::entryHead(records) + records;
            for (size_t size = Journal::Header.size();
                 size + entry.size() <= static_cast<size_t>(Journal::ReadLimit);
                 size += entry.size(), bytes += records.size())
                out << entry;
        }
        platform::SystemClock clock;
        auto file = platform::systemJournalFile(path.string());
        Journal journal(file.get(), clock);
        start();
        {
            std::string records = journal.leftOver();
            journal.restore(records);
            text_.setText("");
            text_.setSelText(std::move(records));
        }
        report("restore of a 16 MiB journal", bytes);
        journal.allSaved();
    }

    // An 8 MB file of 1,000,000 records listed line by line, as the LOAD dialog does.
    void load(const std::filesystem::path& dir) {
        const std::filesystem::path path = dir / "laps.txt";
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 1000000; ++i) out << "12.345\r\n";
        }
        platform::Files files;
        start();
        files.openInput(1, path.string());
        text_.setText("");
        while (!files.eof(1)) text_.setSelText(files.lineInput(1) + "\r\n");
        files.close(1);
        report("load of 1,000,000 records", std::filesystem::file_size(path));
    }

  private:
    using Clock = std::chrono::steady_clock;

    void start() {
        idle_ = residentMb().first;
        t0_ = Clock::now();
    }

    void report(const char* what, size_t bytes) {
        settle_();
        const double s = std::chrono::duration<double>(Clock::now() - t0_).count();
        const auto [rss, peak] = residentMb();
        const double mb = static_cast<double>(bytes) / 1048576;
        std::printf(
            "%s (%.1f MiB): %.2f s, shown; resident %.1f MiB (peak %.1f) over %.1f before: "
            "%.2f (peak %.2f) times the bytes\n",
            what, mb, s, rss, peak, idle_, (rss - idle_) / mb, (peak - idle_) / mb);
        std::fflush(stdout);
    }

    platform::TextBox& text_;
    std::function<void()> settle_;
    double idle_ = 0;
    Clock::time_point t0_;
};

}  // namespace bench
