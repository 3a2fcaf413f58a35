#include "tests/support/fakes.h"

#include <algorithm>

namespace fake {

void DriveList::setDrive(const std::string& p) {
    if (p == current) return;
    current = p;
    if (onChange) onChange();
}

void DirList::setPath(const std::string& p) {
    if (fileSystem) fileSystem->list(p, platform::FileKind::Folder);  // throws as the real one
    if (p == current) return;
    current = p;
    if (onChange) onChange();
}

Form::Form(const platform::FormTable& table, Log* l) : log(l), caption_(table.caption) {
    using platform::Kind;
    for (const auto& c : table.controls) {
        std::unique_ptr<Control> made;
        switch (c.kind) {
            case Kind::CommandButton: made = std::make_unique<Button>(); break;
            case Kind::CheckBox: made = std::make_unique<CheckBox>(); break;
            case Kind::Label: made = std::make_unique<Label>(); break;
            case Kind::TextBox:
            case Kind::RecordText: made = std::make_unique<TextBox>(); break;
            case Kind::OptionButton: made = std::make_unique<OptionButton>(); break;
            case Kind::ComboBox: made = std::make_unique<ComboBox>(); break;
            case Kind::Timer: made = std::make_unique<Timer>(); break;
            case Kind::DriveList: made = std::make_unique<DriveList>(); break;
            case Kind::DirList: made = std::make_unique<DirList>(); break;
            case Kind::FileList: made = std::make_unique<FileList>(); break;
            case Kind::Frame: continue;
        }
        made->log = log;
        made->name = c.name;
        // The caption is where a label's, a text box's and a combo box's text starts.
        if (auto* l = dynamic_cast<Label*>(made.get())) l->text = c.caption;
        if (auto* t = dynamic_cast<TextBox*>(made.get())) t->value = c.caption;
        if (auto* b = dynamic_cast<ComboBox*>(made.get())) b->value = c.caption;
        if (auto* t = dynamic_cast<Timer*>(made.get())) t->on = false;
        if (auto* o = dynamic_cast<OptionButton*>(made.get())) {
            o->group = &groups[c.name];
            o->group->push_back(o);
        }
        controls[key(c.name, c.index)] = std::move(made);
    }
}

std::unique_ptr<platform::Form> Ui::createForm(const platform::FormTable& table) {
    auto f = std::make_unique<Form>(table, log);
    auto it = operators.find(table.caption);
    if (it != operators.end()) f->operate = it->second;
    return f;
}

platform::Answer Ui::msgBox(const std::string& text, platform::Icon icon,
                            platform::Buttons buttons) {
    boxes.push_back({text, icon, buttons});
    log->push_back("msgbox " + text);
    if (onMsgBox) onMsgBox();
    if (buttons == platform::Buttons::Ok) return platform::Answer::Ok;
    if (answers.empty())
        return buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Yes;
    auto a = answers.front();
    answers.pop_front();
    return a;
}

void CommPort::mustBeOpen() const {
    if (!open) throw platform::RuntimeError(platform::err::PortNotOpen, "Port not open");
}

void CommPort::setPortOpen(bool v) {
    if (v && (failOpen || open))
        throw platform::RuntimeError(platform::err::DeviceUnavailable,
                                     "COM" + std::to_string(port) + ": cannot open");
    open = v;
    opens += v;
    log->push_back(v ? "PortOpen=true" : "PortOpen=false");
}

void CommPort::setInBufferCount(int16_t n) {
    mustBeOpen();
    if (n == 0) pending.clear();
    log->push_back("InBufferCount=" + std::to_string(n));
}

void CommPort::output(const std::string& b) {
    mustBeOpen();
    if (failOutput) throw platform::RuntimeError(platform::err::DeviceIoError, "Write failed");
    sent += b;
    log->push_back("Output=" + b);
}

std::string CommPort::input() {
    mustBeOpen();
    std::string s = pending.substr(0, inputLen > 0 ? inputLen : pending.size());
    pending.erase(0, s.size());
    return s;
}

void CommPort::receive(const std::string& bytes) {
    pending += bytes;
    while (!pending.empty()) {
        const size_t before = pending.size();
        event = platform::comm::EvReceive;
        if (onComm) onComm();
        if (pending.size() == before) break;  // the handler read nothing
    }
}

void CommPort::lineError(int16_t code) {
    event = code;
    if (onComm) onComm();
}

}  // namespace fake
