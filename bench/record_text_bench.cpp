// The real record text, offscreen: the memory of a restore and of a 1,000,000-record load
// (record_text_memory.h), the cost of listing one record as the text grows to 100,000
// lines, and of reading the whole text back (a save); and how often the box repaints
// while a download streams lines into it. A case named runs alone, so
// the peak it reports is its own:
//   record_text_bench [restore|load|listing|streaming]
#include <unistd.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "bench/record_text_memory.h"
#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"

namespace {

// Lets the view show what it was given, at its cadence.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

void listing(platform::TextBox& text) {
    using Clock = std::chrono::steady_clock;
    constexpr int Total = 100000, Block = 10000;
    text.setText("");
    for (int done = 0; done < Total; done += Block) {
        const auto t0 = Clock::now();
        for (int i = 0; i < Block; ++i) text.setSelText("001  1:23.456\r\n");
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        std::printf("listing records %6d to %6d: %.1f us per record\n", done + 1, done + Block,
                    us / Block);
    }
    const auto t0 = Clock::now();
    const size_t bytes = text.text().size();
    std::printf("reading back %d records (%zu bytes): %.1f ms\n", Total, bytes,
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
}

// Paints of the record box while lines come at about the pace of a 57600-baud line (a
// 15-byte line in 2.6 ms): far fewer than lines, as the box repaints at its cadence.
void streaming(platform::qt::QtForm& form) {
    struct Paints : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            count += e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    qobject_cast<QAbstractScrollArea*>(form.widget("Text1"))
        ->viewport()
        ->installEventFilter(&paints);
    platform::TextBox& text = form.textBox("Text1");
    text.setText("");
    constexpr int Lines = 1000;
    for (int i = 0; i < Lines; ++i) {
        text.setSelText("01.2" + std::to_string(i) + "\r\n");
        QApplication::processEvents();  // as between two received bytes
        std::this_thread::sleep_for(std::chrono::microseconds(2600));
    }
    settle();
    std::printf("streaming %d lines: %d paints of the record text\n", Lines, paints.count);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::qt::QtUi ui(VorbixLoader::Title, platform::systemFileSystem());
    auto form = ui.createForm(VorbixLoader::formTable());
    form->show();
    settle();
    platform::TextBox& text = form->textBox("Text1");
    std::string dir =
        (std::filesystem::temp_directory_path() / "record_text_bench.XXXXXX").string();
    if (!mkdtemp(dir.data())) return 1;
    bench::RecordTextMemory memory(text, settle);
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "restore") memory.restore(dir);
    if (only.empty() || only == "load") memory.load(dir);
    if (only.empty() || only == "listing") listing(text);
    if (only.empty() || only == "streaming") streaming(dynamic_cast<platform::qt::QtForm&>(*form));
    std::filesystem::remove_all(dir);
    return 0;
}
