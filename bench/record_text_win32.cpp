// The Windows record text under Wine: the cost of listing records through setSelText as
// the text grows, with the window shown and its messages pumped after each record, as a
// download does. "edit" times a read-only multi-line EDIT fed the same way, the control
// the record text once was, for comparison in the same run. "restore" and "load" measure
// the memory of a restore and of a 1,000,000-record load (record_text_memory.h).
//   record_text_bench [view|edit [records]|restore|load]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/record_text_memory.h"
#include "main_window/vorbix_loader.h"
#include "platform/win32/byte_codec.h"
#include "platform/win32/win32_ui.h"

namespace {

using Clock = std::chrono::steady_clock;

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

struct EditText : platform::TextBox {
    HWND hwnd;
    explicit EditText(HWND parent) {
        hwnd =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                                ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                            8, 48, 673, 377, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(hwnd, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    }
    std::string text() const override { return {}; }
    void setText(const std::string&) override {}
    void setSelText(std::string s) override {
        SendMessageW(hwnd, EM_REPLACESEL, FALSE,
                     reinterpret_cast<LPARAM>(platform::win32::recordChars(s).c_str()));
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool edit = argc > 1 && std::strcmp(argv[1], "edit") == 0;
    const int total = argc > 2 ? std::atoi(argv[2]) : 10000;
    platform::win32::startUp();
    platform::win32::Win32Ui ui(VorbixLoader::Title, platform::systemFileSystem());
    auto form = ui.createForm(VorbixLoader::formTable());
    form->show();
    pump();
    platform::TextBox* text = &form->textBox("Text1");
    if (argc > 1 && (std::strcmp(argv[1], "restore") == 0 || std::strcmp(argv[1], "load") == 0)) {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("record_text_bench." + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directory(dir);
        bench::RecordTextMemory memory(*text, [] {
            Sleep(2 * 20);  // the last cadence
            pump();
        });
        if (std::strcmp(argv[1], "restore") == 0)
            memory.restore(dir);
        else
            memory.load(dir);
        std::filesystem::remove_all(dir);
        return 0;
    }
    EditText* other = nullptr;
    if (edit) {
        other = new EditText(GetActiveWindow());
        text = other;
    }

    const int block = total >= 10 ? total / 10 : 1;
    const auto start = Clock::now();
    for (int done = 0; done < total; done += block) {
        const auto t0 = Clock::now();
        for (int i = 0; i < block; ++i) {
            text->setSelText("001  1:23.456\r\n");
            pump();
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        std::printf("%s: records %6d to %6d: %.2f ms per record\n", edit ? "edit" : "view",
                    done + 1, done + block, ms / block);
        std::fflush(stdout);
    }
    Sleep(2 * 20);  // the last cadence
    pump();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s: %d records listed and shown in %.2f s\n", edit ? "edit" : "view", total, s);
    delete other;
    return 0;
}
