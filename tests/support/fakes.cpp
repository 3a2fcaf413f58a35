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

namespace {
template <class T>
std::unique_ptr<Control> make(const platform::ControlRow& c) {
    auto control = std::make_unique<T>();
    if constexpr (std::is_base_of_v<Label, T>) control->text = c.caption;
    if constexpr (std::is_base_of_v<TextBox, T> || std::is_base_of_v<ComboBox, T>)
        control->value = c.caption;
    return control;
}
}  // namespace

Form::Form(const platform::FormTable& table, Log* l) : log(l), caption_(table.caption) {
    using platform::Kind;
    for (const auto& c : table.controls) {
        std::unique_ptr<Control> made;
        switch (c.kind) {
            case Kind::CommandButton: made = make<Button>(c); break;
            case Kind::CheckBox: made = make<CheckBox>(c); break;
            case Kind::Label: made = make<Label>(c); break;
            case Kind::TextBox:
            case Kind::RecordText: made = make<TextBox>(c); break;
            case Kind::OptionButton: made = make<OptionButton>(c); break;
            case Kind::ComboBox: made = make<ComboBox>(c); break;
            case Kind::Timer: made = make<Timer>(c); break;
            case Kind::DriveList: made = make<DriveList>(c); break;
            case Kind::DirList: made = make<DirList>(c); break;
            case Kind::FileList: made = make<FileList>(c); break;
            case Kind::Frame: continue;
        }
        made->log = log;
        made->name = c.name;
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

platform::FileKind FileSystem::kind(const std::string& path) const {
    if (std::find(drives.begin(), drives.end(), path) != drives.end())
        return platform::FileKind::Folder;
    auto it = paths.find(path);
    return it == paths.end() ? platform::FileKind::None : it->second;
}

bool FileSystem::listable(const std::string& folder) const {
    return kind(folder) == platform::FileKind::Folder &&
           std::find(unreadable.begin(), unreadable.end(), folder) == unreadable.end();
}

std::vector<std::string> FileSystem::list(const std::string& folder, platform::FileKind of) const {
    if (!listable(folder))
        throw platform::RuntimeError(platform::err::DeviceUnavailable, "Device unavailable");
    std::vector<std::string> names;
    for (const auto& [path, k] : paths)
        if (k == of && parent(path) == folder) names.push_back(path.substr(path.rfind('\\') + 1));
    return names;
}

std::string FileSystem::absolute(const std::string& path) const {
    std::string f = path.size() >= 2 && path[1] == ':' ? path : cwd + "\\" + path;
    while (f.size() > 3 && f.back() == '\\') f.pop_back();
    return f;
}

std::string FileSystem::parent(const std::string& folder) const {
    if (folder.size() <= 3) return "";
    const size_t sep = folder.rfind('\\');
    return sep <= 2 ? folder.substr(0, 3) : folder.substr(0, sep);
}

void JournalFile::start(std::string_view b) {
    if (fault) throw *fault;
    bytes = synced = std::string(b);
    log->push_back("journal start");
}

void JournalFile::append(std::string_view b) {
    if (fault) throw *fault;
    *bytes += b;
    log->push_back("journal+" + std::string(b));
}

void JournalFile::sync() {
    if (fault) throw *fault;
    synced = *bytes;
    ++syncs;
    log->push_back("journal synced");
}

void JournalFile::remove() noexcept {
    bytes.reset();
    synced.clear();
    log->push_back("journal removed");
}

}  // namespace fake
