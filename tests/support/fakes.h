// Fakes of the platform for tests without a display or a serial port. Every change a
// handler makes is written to one shared log, so tests can check the order of steps.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "main_window/vorbix_loader.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/form.h"
#include "platform/journal_file.h"

namespace fake {

using Log = std::vector<std::string>;

struct Control {
    virtual ~Control() = default;
    Log* log = nullptr;
    std::string name;
};

// A control with an enabled flag, logged as it changes.
template <class Base>
struct Switch : Base, Control {
    bool on = true;
    void setEnabled(bool v) override {
        on = v;
        log->push_back(name + (v ? ".enabled" : ".disabled"));
    }
    bool enabled() const override { return on; }
};

using Button = Switch<platform::Button>;
using Timer = Switch<platform::Timer>;

struct CheckBox : Switch<platform::CheckBox> {
    int v = 0;
    int value() const override { return v; }
    void setValue(int x) override { v = x; }
};

struct Label : platform::Label, Control {
    std::string text;
    void setCaption(const std::string& s) override { text = s; }
    std::string caption() const override { return text; }
};

// A text box with a caret and a selection, in bytes.
struct TextBox : platform::TextBox, Control {
    std::string value;
    size_t selStart = 0, selLength = 0;
    int room = 1 << 30;  // insertions it still takes; then it refuses text, as a full box does
    std::string text() const override { return value; }
    void setText(const std::string& s) override {
        value = s;
        selStart = selLength = 0;
        log->push_back(name + ".text=" + s);
    }
    void setSelText(std::string s) override {
        if (room-- <= 0) throw platform::RuntimeError(platform::err::Overflow, "Out of room");
        value.replace(selStart, selLength, s);
        selStart += s.size();
        selLength = 0;
        log->push_back(name + ".insert=" + s);
    }
};

struct OptionButton : platform::OptionButton, Control {
    std::vector<OptionButton*>* group = nullptr;
    bool on = false;
    void setValue(bool v) override {
        if (v)
            for (auto* b : *group) b->on = false;
        on = v;
    }
    bool value() const override { return on; }
    void setToolTip(const std::string&) override {}
};

struct ComboBox : platform::ComboBox, Control {
    std::string value;
    std::string text() const override { return value; }
    void setText(const std::string& s) override { value = s; }
};

struct DriveList : platform::DriveList, Control {
    std::string current = "/";
    std::string drive() const override { return current; }
    void setDrive(const std::string& p) override;
};

struct DirList : platform::DirList, Control {
    std::string current;
    const platform::FileSystem* fileSystem = nullptr;  // when set, lists as the real one
    std::string path() const override { return current; }
    void setPath(const std::string& p) override;
};

struct FileList : platform::FileList, Control {
    std::string pattern, current, chosen;
    void setPattern(const std::string& p) override { pattern = p; }
    std::string path() const override { return current; }
    void setPath(const std::string& p) override { current = p; }
    std::string fileName() const override { return chosen; }
};

class Form : public platform::Form {
  public:
    Form(const platform::FormTable& table, Log* log);

    // The control by name, and index for control arrays. As in the Qt forms (see
    // platform/error.h): a missing element of an array is a run-time error, a missing
    // control a fault of the program.
    template <class T>
    T& get(const std::string& name, int index = -1) {
        auto it = controls.find(key(name, index));
        T* c = it == controls.end() ? nullptr : dynamic_cast<T*>(it->second.get());
        if (c) return *c;
        if (index >= 0 && groups.count(name))
            throw platform::RuntimeError(
                platform::err::NoSuchElement,
                "Control array element '" + std::to_string(index) + "' doesn't exist");
        throw std::logic_error("the window has no such control: " + name);
    }
    static std::string key(const std::string& name, int index) {
        return index < 0 ? name : name + "(" + std::to_string(index) + ")";
    }

    platform::Button& button(const std::string& n) override { return get<Button>(n); }
    platform::CheckBox& checkBox(const std::string& n) override { return get<CheckBox>(n); }
    platform::Label& label(const std::string& n) override { return get<Label>(n); }
    platform::TextBox& textBox(const std::string& n) override { return get<TextBox>(n); }
    platform::OptionButton& option(const std::string& n, int i) override {
        return get<OptionButton>(n, i);
    }
    platform::ComboBox& combo(const std::string& n) override { return get<ComboBox>(n); }
    platform::Timer& timer(const std::string& n) override { return get<Timer>(n); }
    platform::DriveList& driveList(const std::string& n) override { return get<DriveList>(n); }
    platform::DirList& dirList(const std::string& n) override { return get<DirList>(n); }
    platform::FileList& fileList(const std::string& n) override { return get<FileList>(n); }
    void setCaption(const std::string& c) override { caption_ = c; }
    std::string caption() const override { return caption_; }
    void setMousePointer(int p) override {
        pointer = p;
        log->push_back("pointer=" + std::to_string(p));
    }
    int mousePointer() const override { return pointer; }
    void show() override {}
    void showModal() override {
        log->push_back("show " + caption_);
        if (operate) operate(*this);
    }
    void unload() override {
        unloaded = true;
        log->push_back("unload " + caption_);
    }

    // The fakes themselves, where a test needs more than the platform's interface.
    Button& fbutton(const std::string& n) { return get<Button>(n); }
    TextBox& ftext(const std::string& n) { return get<TextBox>(n); }
    ComboBox& fcombo(const std::string& n) { return get<ComboBox>(n); }

    Log* log;
    std::string caption_;
    int pointer = 0;
    bool unloaded = false;
    // Runs while showModal() "waits": plays the operator; may call unload().
    std::function<void(Form&)> operate;
    std::map<std::string, std::unique_ptr<Control>> controls;
    std::map<std::string, std::vector<OptionButton*>> groups;
};

struct MsgBox {
    std::string text;
    platform::Icon icon;
    platform::Buttons buttons;
};

class Ui : public platform::Ui {
  public:
    explicit Ui(Log* log) : log(log) {}
    std::unique_ptr<platform::Form> createForm(const platform::FormTable& table) override;
    platform::Answer msgBox(const std::string& text, platform::Icon icon,
                            platform::Buttons buttons) override;
    void endProgram() override {
        ended = true;
        log->push_back("end");
    }

    Log* log;
    std::vector<MsgBox> boxes;
    std::deque<platform::Answer> answers;  // for Yes/No boxes; else the default
    std::function<void()> onMsgBox;        // runs while a box is "open"
    // Plays the operator in each dialog this Ui creates, by dialog caption.
    std::map<std::string, std::function<void(Form&)>> operators;
    bool ended = false;
};

// An open port that takes every setting without a word, for harnesses that feed bytes on
// every event and want nothing logged; each adds its own input and output.
class SilentPort : public platform::CommPort {
  public:
    bool portOpen() const override { return true; }
    void setPortOpen(bool) override {}
    void setCommPort(int16_t) override {}
    void setSettings(const std::string&) override {}
    void setInputLen(int16_t) override {}
    void setRThreshold(int16_t) override {}
    void setInBufferCount(int16_t) override {}
};

// The serial-port control: logs what is set and sent, feeds input on demand.
class CommPort : public platform::CommPort {
  public:
    explicit CommPort(Log* log) : log(log) {}
    bool portOpen() const override { return open; }
    void setPortOpen(bool v) override;
    void setCommPort(int16_t n) override { log->push_back("CommPort=" + std::to_string(port = n)); }
    void setSettings(const std::string& s) override { log->push_back("Settings=" + s); }
    void setInputLen(int16_t n) override {
        log->push_back("InputLen=" + std::to_string(inputLen = n));
    }
    void setRThreshold(int16_t n) override { log->push_back("RThreshold=" + std::to_string(n)); }
    void setInBufferCount(int16_t n) override;
    void output(const std::string& b) override;
    std::string input() override;
    int16_t commEvent() const override { return event; }

    // Delivers bytes one receive event each, as the real control does.
    void receive(const std::string& bytes);
    void lineError(int16_t code);

    Log* log;
    bool open = false;
    int16_t port = 0, inputLen = 0, event = 0;
    std::string sent, pending;
    int opens = 0;
    bool failOpen = false, failOutput = false;

  private:
    void mustBeOpen() const;
};

class Clock : public platform::Clock {
  public:
    platform::Date date{2005, 1, 9};
    int64_t ms = -1;  // -1: the real clock's
    platform::Date today() const override { return date; }
    int64_t milliseconds() const override { return ms < 0 ? platform::Clock::milliseconds() : ms; }
};

// The journal's file: what a crash of the program would leave (`bytes`), and what a power
// cut would (`synced`). What was moved aside lands in `aside`, by suffix.
class JournalFile : public platform::JournalFile {
  public:
    explicit JournalFile(Log* log = nullptr) : log(log) {}
    std::string name() override { return ".vorbixloader.journal"; }
    std::optional<std::string> read(int64_t) override { return bytes; }
    bool moveAside(const std::string& suffix) override {
        if (stuck) throw platform::RuntimeError(platform::err::PermissionDenied, "stuck");
        if (aside.count(suffix)) return false;
        aside[suffix] = bytes.value_or("");
        bytes.reset();
        log->push_back("journal aside" + suffix);
        return true;
    }
    void start(std::string_view head, std::string_view rest) override {
        bytes = synced = std::string(head) + std::string(rest);
        log->push_back("journal start");
    }
    void append(std::string_view b) override {
        *bytes += b;
        log->push_back("journal+" + std::string(b));
    }
    void sync() override {
        synced = *bytes;
        log->push_back("journal synced");
    }
    // A sync in the background that has not returned, as on a disk slower than the logger.
    void startSync() override {
        syncing = *bytes;
        log->push_back("journal sync started");
    }
    void clear() override { remove(); }  // as a file of no records
    void remove() noexcept override {
        bytes.reset();
        synced.clear();
        log->push_back("journal removed");
    }

    Log* log;
    std::optional<std::string> bytes;
    std::string synced;   // what a sync that has returned put on the disk
    std::string syncing;  // what the last sync started in the background covers
    bool stuck = false;   // moving aside fails
    std::map<std::string, std::string> aside;
};

// The program on fake windows, with a fake serial port or a real one.
template <class Comm = CommPort>
struct ProgramWith {
    Log log;
    Ui ui{&log};
    Form form{VorbixLoader::formTable(), &log};
    Comm comm = make(&log);
    platform::Files files;
    Clock clock;
    VorbixLoader vl{ui, form, comm, files, platform::systemFileSystem(), clock};
    TextBox& text = form.ftext("Text1");

    ProgramWith() = default;
    explicit ProgramWith(platform::JournalFile* journal)
        : vl{ui, form, comm, files, platform::systemFileSystem(), clock, journal} {}

  private:
    static Comm make(Log* log) {
        if constexpr (std::is_constructible_v<Comm, Log*>)
            return Comm(log);
        else
            return Comm();
    }
};
using Program = ProgramWith<>;

}  // namespace fake
