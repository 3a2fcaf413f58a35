#include "tests/support/fakes.h"

namespace fake {

void DirList::setPath(const std::string& p) {
    if (p == current) return;
    current = p;
    if (onChange) onChange();
}

void FileList::setPath(const std::string& p) {
    current = p;
}

Form::Form(const platform::FormSpec& s, Log* l) : table(s), log(l), caption_(s.caption) {
    using platform::Kind;
    for (const auto& c : table.controls) {
        const std::string& n = c.name;
        switch (c.kind) {
            case Kind::CommandButton:
                (buttons[n] = std::make_unique<Button>())->e = {log, n};
                break;
            case Kind::CheckBox:
                (checks[n] = std::make_unique<CheckBox>())->e = {log, n};
                break;
            case Kind::Label:
                (labels[n] = std::make_unique<Label>())->text = c.caption;
                break;
            case Kind::TextBox:
            case Kind::RecordText: {
                auto& b = *(texts[n] = std::make_unique<TextBox>());
                b.log = log;
                b.name = n;
                b.value = c.caption;
                break;
            }
            case Kind::OptionButton: {
                auto& group = options[n];
                if (group.size() <= static_cast<size_t>(c.index)) group.resize(c.index + 1);
                (group[c.index] = std::make_unique<OptionButton>())->group = &group;
                break;
            }
            case Kind::ComboBox:
                (combos[n] = std::make_unique<ComboBox>())->value = c.caption;
                break;
            case Kind::Timer:
                (timers[n] = std::make_unique<Timer>())->e = {log, n, false};
                break;
            case Kind::DriveList:
                drives[n] = std::make_unique<DriveList>();
                break;
            case Kind::DirList:
                dirs[n] = std::make_unique<DirList>();
                break;
            case Kind::FileList:
                fileLists[n] = std::make_unique<FileList>();
                break;
            case Kind::Frame:
                break;
        }
    }
}

platform::OptionButton& Form::option(const std::string& n, int i) {
    auto& group = find(options, n);
    if (i < 0 || static_cast<size_t>(i) >= group.size() || !group[i])
        throw platform::RuntimeError(
            340, "Control array element " + std::to_string(i) + " doesn't exist");
    return *group[i];
}

void Form::showModal() {
    log->push_back("show " + table.caption);
    if (operate) operate(*this);
}

std::unique_ptr<platform::Form> Ui::createForm(const platform::FormSpec& table) {
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
    if (answers.empty()) return platform::Answer::No;
    auto a = answers.front();
    answers.pop_front();
    return a;
}

void CommPort::setPortOpen(bool v) {
    if (v && failOpen)
        throw platform::RuntimeError(platform::err::DeviceUnavailable,
                                     "COM" + std::to_string(port) + ": cannot open");
    if (v && open)
        throw platform::RuntimeError(platform::err::PortAlreadyOpen, "Port already open");
    open = v;
    if (v) ++opens;
    log->push_back(v ? "PortOpen=true" : "PortOpen=false");
}

void CommPort::setInBufferCount(int16_t n) {
    if (!open) throw platform::RuntimeError(platform::err::PortNotOpen, "Port not open");
    if (n == 0) pending.clear();
    log->push_back("InBufferCount=" + std::to_string(n));
}

void CommPort::output(const std::string& b) {
    if (!open || failOutput)
        throw platform::RuntimeError(platform::err::PortNotOpen, "Port not open");
    sent += b;
    log->push_back("Output=" + b);
}

std::string CommPort::input() {
    if (!open) throw platform::RuntimeError(platform::err::PortNotOpen, "Port not open");
    std::string s = pending.substr(0, inputLen > 0 ? inputLen : pending.size());
    pending.erase(0, s.size());
    return s;
}

void CommPort::receive(const std::string& bytes) {
    pending += bytes;
    while (!pending.empty()) {
        size_t before = pending.size();
        event = platform::comm::EvReceive;
        if (onComm) onComm();
        if (pending.size() == before) break;  // handler read nothing
    }
}

void CommPort::lineError(int16_t code) {
    event = code;
    if (onComm) onComm();
}

}  // namespace fake
