// Fakes of the platform for tests without a display or a serial port. Every change a
// handler makes is written to one shared log, so tests can check the order of steps.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "main_window/vorbix_loader.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/error.h"
#include "platform/form.h"

namespace fake {

using Log = std::vector<std::string>;

struct Enable {
    Log* log;
    std::string name;
    bool on = true;
    void set(bool v) {
        on = v;
        log->push_back(name + (v ? ".enabled" : ".disabled"));
    }
};

struct Button : platform::Button {
    Enable e;
    void setEnabled(bool on) override { e.set(on); }
    bool enabled() const override { return e.on; }
};

struct CheckBox : platform::CheckBox {
    Enable e;
    int v = 0;
    void setEnabled(bool on) override { e.set(on); }
    bool enabled() const override { return e.on; }
    int value() const override { return v; }
    void setValue(int x) override { v = x; }
};

struct Label : platform::Label {
    std::string text;
    void setCaption(const std::string& s) override { text = s; }
    std::string caption() const override { return text; }
};

// A text box with a caret and a selection, in bytes.
struct TextBox : platform::TextBox {
    Log* log;
    std::string name;
    std::string value;
    size_t selStart = 0, selLength = 0;
    std::string text() const override { return value; }
    void setText(const std::string& s) override {
        value = s;
        selStart = selLength = 0;
        log->push_back(name + ".text=" + s);
    }
    void setSelText(const std::string& s) override {
        value.replace(selStart, selLength, s);
        selStart += s.size();
        selLength = 0;
        log->push_back(name + ".insert=" + s);
    }
};

struct OptionButton : platform::OptionButton {
    std::vector<std::unique_ptr<OptionButton>>* group = nullptr;
    bool on = false;
    void setValue(bool v) override {
        if (v && group)
            for (auto& b : *group)
                if (b) b->on = false;
        on = v;
    }
    bool value() const override { return on; }
    void setToolTip(const std::string&) override {}
};

struct ComboBox : platform::ComboBox {
    std::string value;
    std::string text() const override { return value; }
    void setText(const std::string& s) override { value = s; }
    void choose(const std::string& item) {  // the operator picks a list item
        value = item;
        if (onClick) onClick();
    }
};

struct Timer : platform::Timer {
    Enable e;
    void setEnabled(bool on) override { e.set(on); }
    bool enabled() const override { return e.on; }
};

struct DriveList : platform::DriveList {
    std::string current = "/";
    std::string drive() const override { return current; }
    void setDrive(const std::string& p) override {
        if (p == current) return;
        current = p;
        if (onChange) onChange();
    }
};

struct DirList : platform::DirList {
    std::string current;
    std::string path() const override { return current; }
    void setPath(const std::string& p) override;
};

struct FileList : platform::FileList {
    std::string pattern, current, chosen;
    void setPattern(const std::string& p) override { pattern = p; }
    std::string path() const override { return current; }
    void setPath(const std::string& p) override;
    std::string fileName() const override { return chosen; }
};

template <class M>
typename M::mapped_type& find(M& m, const std::string& n) {
    auto it = m.find(n);
    if (it == m.end()) throw std::logic_error("no control " + n);
    return it->second;
}

class Form : public platform::Form {
  public:
    Form(const platform::FormSpec& table, Log* log);
    platform::Button& button(const std::string& n) override { return *find(buttons, n); }
    platform::CheckBox& checkBox(const std::string& n) override { return *find(checks, n); }
    platform::Label& label(const std::string& n) override { return *find(labels, n); }
    platform::TextBox& textBox(const std::string& n) override { return *find(texts, n); }
    platform::OptionButton& option(const std::string& n, int i) override;
    platform::ComboBox& combo(const std::string& n) override { return *find(combos, n); }
    platform::Timer& timer(const std::string& n) override { return *find(timers, n); }
    platform::DriveList& driveList(const std::string& n) override { return *find(drives, n); }
    platform::DirList& dirList(const std::string& n) override { return *find(dirs, n); }
    platform::FileList& fileList(const std::string& n) override { return *find(fileLists, n); }
    void setCaption(const std::string& c) override { caption_ = c; }
    std::string caption() const override { return caption_; }
    void setMousePointer(int p) override {
        pointer = p;
        log->push_back("pointer=" + std::to_string(p));
    }
    int mousePointer() const override { return pointer; }
    void show() override { shown = true; }
    void showModal() override;
    void unload() override {
        unloaded = true;
        log->push_back("unload " + table.caption);
    }

    // Test access to the concrete fakes.
    Button& fbutton(const std::string& n) { return *find(buttons, n); }
    TextBox& ftext(const std::string& n) { return *find(texts, n); }
    Timer& ftimer(const std::string& n) { return *find(timers, n); }
    CheckBox& fcheck(const std::string& n) { return *find(checks, n); }
    Label& flabel(const std::string& n) { return *find(labels, n); }
    ComboBox& fcombo(const std::string& n) { return *find(combos, n); }
    OptionButton& foption(const std::string& n, int i) {
        return static_cast<OptionButton&>(option(n, i));
    }

    platform::FormSpec table;
    Log* log;
    std::string caption_;
    int pointer = 0;
    bool shown = false, unloaded = false;
    // Runs while showModal() "waits": plays the operator; may call unload().
    std::function<void(Form&)> operate;

    std::map<std::string, std::unique_ptr<Button>> buttons;
    std::map<std::string, std::unique_ptr<CheckBox>> checks;
    std::map<std::string, std::unique_ptr<Label>> labels;
    std::map<std::string, std::unique_ptr<TextBox>> texts;
    std::map<std::string, std::vector<std::unique_ptr<OptionButton>>> options;
    std::map<std::string, std::unique_ptr<ComboBox>> combos;
    std::map<std::string, std::unique_ptr<Timer>> timers;
    std::map<std::string, std::unique_ptr<DriveList>> drives;
    std::map<std::string, std::unique_ptr<DirList>> dirs;
    std::map<std::string, std::unique_ptr<FileList>> fileLists;
};

struct MsgBox {
    std::string text;
    platform::Icon icon;
    platform::Buttons buttons;
};

class Ui : public platform::Ui {
  public:
    explicit Ui(Log* log) : log(log) {}
    std::unique_ptr<platform::Form> createForm(const platform::FormSpec& table) override;
    platform::Answer msgBox(const std::string& text, platform::Icon icon,
                            platform::Buttons buttons) override;
    void endProgram() override {
        ended = true;
        log->push_back("end");
    }

    Log* log;
    std::vector<MsgBox> boxes;
    std::deque<platform::Answer> answers;  // for Yes/No boxes; default No
    std::function<void()> onMsgBox;        // runs while a box is "open"
    // Plays the operator in each dialog this Ui creates, by dialog caption.
    std::map<std::string, std::function<void(Form&)>> operators;
    bool ended = false;
};

// The serial-port control: records settings and output, feeds input on demand.
class CommPort : public platform::CommPort {
  public:
    explicit CommPort(Log* log) : log(log) {}
    bool portOpen() const override { return open; }
    void setPortOpen(bool v) override;
    void setCommPort(int16_t n) override {
        port = n;
        log->push_back("CommPort=" + std::to_string(n));
    }
    void setSettings(const std::string& s) override {
        settings = s;
        log->push_back("Settings=" + s);
    }
    void setInputLen(int16_t n) override {
        inputLen = n;
        log->push_back("InputLen=" + std::to_string(n));
    }
    void setRThreshold(int16_t n) override {
        rThreshold = n;
        log->push_back("RThreshold=" + std::to_string(n));
    }
    void setInBufferCount(int16_t n) override;
    void output(const std::string& b) override;
    std::string input() override;
    int16_t commEvent() const override { return event; }

    // Delivers bytes one receive event each, as the real control does.
    void receive(const std::string& bytes);
    void lineError(int16_t code);

    Log* log;
    bool open = false;
    int16_t port = 0, inputLen = 0, rThreshold = 0, event = 0;
    std::string settings, sent, pending;
    int opens = 0;
    bool failOpen = false, failOutput = false;
};

class Clock : public platform::Clock {
  public:
    platform::Date date{2005, 1, 9};
    platform::Date today() const override { return date; }
};

// The program on fake windows and a fake serial port, as most tests need it.
struct Program {
    Log log;
    Ui ui{&log};
    Form form{VorbixLoader::formSpec(), &log};
    CommPort comm{&log};
    platform::Files files;
    Clock clock;
    VorbixLoader vl{ui, form, comm, files, clock};
    TextBox& text = form.ftext("Text1");
};

}  // namespace fake
