// The real record text: the cost of listing one record as the text grows to 100,000
// lines, and of reading the whole text back (a save). Runs offscreen.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "main_window/vorbix_loader.h"
#include "platform/qt/qt_ui.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::qt::QtUi ui(VorbixLoader::Title);
    auto form = ui.createForm(VorbixLoader::formTable());
    form->show();
    platform::TextBox& text = form->textBox("Text1");

    using Clock = std::chrono::steady_clock;
    constexpr int Total = 100000, Block = 10000;
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
    return 0;
}
