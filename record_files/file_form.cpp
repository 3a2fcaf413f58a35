#include "record_files/file_form.h"

#include <cctype>
#include <cstdio>

#include "main_window/vorbix_loader.h"
#include "platform/error.h"
#include "platform/log.h"

using platform::Answer;
using platform::Buttons;
using platform::control;
using platform::Icon;
using platform::Kind;

const platform::FormTable& File_Form::formTable() {
    static const platform::FormTable table = [] {
        platform::FormTable s;
        s.caption = LoadCaption;  // replaced by the mode when the dialog is created
        s.clientWidth = 6195;
        s.clientHeight = 3810;
        // The system's own font: "File name" fits its label, which fixed pitch does not.
        s.fontPoints = 8;
        s.controls = {
            control("Drive1", Kind::DriveList, "", {0, 120, 2895, 345}, 0),
            control("Dir1", Kind::DirList, "", {0, 600, 2895, 2610}, 1),
            control("File1", Kind::FileList, "", {3000, 120, 3135, 3150}, 2),
            control("Label1", Kind::Label, "File name", {120, 3360, 855, 255}),
            control("Text1", Kind::TextBox, "", {1080, 3360, 3975, 270}, 3),
            control("Command1", Kind::CommandButton, "OK", {5280, 3360, 855, 375}, 4),
        };
        return s;
    }();
    return table;
}

void File_Form::show(VorbixLoader& main, const std::string& caption) {
    platform::FormTable table = formTable();
    table.caption = caption;
    std::unique_ptr<platform::Form> form = main.ui.createForm(table);
    File_Form dialog(main, *form);
    dialog.Form_Load();
    form->showModal();
}

File_Form::File_Form(VorbixLoader& main_, platform::Form& form)
    : main(main_),
      Me(form),
      Drive1(form.driveList("Drive1")),
      Dir1(form.dirList("Dir1")),
      File1(form.fileList("File1")),
      Text1(form.textBox("Text1")),
      Command1(form.button("Command1")) {
    Drive1.onChange = [this] { Drive1_Change(); };
    Dir1.onChange = [this] { Dir1_Change(); };
    File1.onClick = [this] { File1_Click(); };
    Command1.onClick = [this] { Command1_Click(); };
}

File_Form::~File_Form() {
    // The form may outlive this object by a moment; it must not call back into it.
    Drive1.onChange = nullptr;
    Dir1.onChange = nullptr;
    File1.onClick = nullptr;
    Command1.onClick = nullptr;
}

std::string defaultRecordName(int year, int month, int day) {
    char date[48];
    std::snprintf(date, sizeof date, "%02d-%02d-%04d", month, day, year);
    return std::string("LAP_DAT_") + date;
}

std::string nearestFolder(const VorbixLoader& main, const std::string& folder) {
    const platform::FileSystem& fs = main.fileSystem;
    if (folder.empty()) return main.defaultRecordFolder();
    for (std::string f = fs.absolute(folder); !f.empty(); f = fs.parent(f))
        if (fs.listable(f)) return f;
    return fs.currentDirectory();
}

void File_Form::Form_Load() {
    File1.setPattern("*.txt");
    // The folder last used may be gone (a removed stick, a deleted folder); open as close
    // to it as still exists instead of failing.
    const std::string folder = nearestFolder(main, main.PASS_NAME);
    Drive1.setDrive(main.fileSystem.placeOf(folder));
    File1.setPath(folder);
    Dir1.setPath(folder);
    const platform::Date d = main.clock.today();
    Text1.setText(defaultRecordName(d.year, d.month, d.day));
}

void File_Form::Drive1_Change() {
    try {
        Dir1.setPath(Drive1.drive());
    } catch (const platform::RuntimeError& e) {
        main.msgBox(e.description(), Icon::Exclamation);
        Drive1.setDrive(main.fileSystem.homePlace());
    }
}

void File_Form::Dir1_Change() {
    File1.setPath(Dir1.path());
}

void File_Form::File1_Click() {
    const std::string name = File1.fileName();
    Text1.setText(name.substr(0, name.find('.')));
}

std::string recordFileToLoad(const platform::FileSystem& fs, const std::string& folder,
                             const std::string& name) {
    // The separator is always added: at the top of a place the name has two in a row.
    const std::string fullName = folder + fs.separator() + name + ".txt";
    if (fs.kind(fullName) != platform::FileKind::None) return fullName;
    std::string only;
    try {
        for (const std::string& f : fs.list(folder, platform::FileKind::File)) {
            if (f.size() != name.size() + 4 || f.compare(0, name.size(), name) != 0) continue;
            std::string ext = f.substr(name.size());
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext != ".txt") continue;
            if (!only.empty()) return fullName;  // which one was meant is not ours to guess
            only = f;
        }
    } catch (const platform::RuntimeError&) {
        return fullName;  // the load reports the folder's fault
    }
    return only.empty() ? fullName : folder + fs.separator() + only;
}

void File_Form::Command1_Click() {
    main.PASS_NAME = File1.path();
    RecordFileNo = main.files.freeFile();
    if (Me.caption() == SaveCaption)
        save(File1.path() + main.fileSystem.separator() + Text1.text() + ".txt");
    else
        load(recordFileToLoad(main.fileSystem, File1.path(), Text1.text()));
}

void File_Form::save(const std::string& fullName) {
    const platform::FileKind kind = main.fileSystem.kind(fullName);
    if (kind != platform::FileKind::None && kind != platform::FileKind::Folder &&
        main.msgBox("!! file exists, overwrite? !!", Icon::Exclamation, Buttons::YesNo) !=
            Answer::Yes)
        return;
    try {
        main.files.openOutput(RecordFileNo, fullName);
        main.files.print(RecordFileNo, main.Text1.text());
        main.files.print(RecordFileNo, "\r\n");
        main.files.close(RecordFileNo);
        main.journal.allSaved();
    } catch (const platform::RuntimeError& e) {
        // Files writes beside the target and renames on close, so the records on screen
        // and any earlier file are both still whole; let the operator choose again.
        main.files.discard(RecordFileNo);
        main.msgBox(e.description(), Icon::Exclamation);
        return;
    }
    Me.unload();
}

namespace {

// 52428800 as "52,428,800".
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// GCC 12 sees an overlap in string::insert's memcpy that cannot happen (its bug 105651).
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
std::string grouped(int64_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return digits;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace

std::string tooLargeMessage(int64_t size) {
    return "!! file too large: " + grouped(size) + " bytes, the limit is " +
           grouped(RecordFileLimit) + " bytes !!";
}

void File_Form::load(const std::string& fullName) {
    try {
        main.files.openInput(RecordFileNo, fullName);
        if (const int64_t size = main.files.lof(RecordFileNo); size > RecordFileLimit) {
            // Refused before anything is cleared: the records listed stay.
            main.files.close(RecordFileNo);
            main.msgBox(tooLargeMessage(size), Icon::Exclamation);
            return;
        }
        main.Text1.setText("");
        main.journal.allSaved();  // what the record text now holds is in this file
        while (!main.files.eof(RecordFileNo))
            main.Text1.setSelText(main.files.lineInput(RecordFileNo) + "\r\n");
        main.files.close(RecordFileNo);
    } catch (const platform::RuntimeError& e) {
        // The box says only that it failed; why is kept in the log.
        platform::logLine("file load: " + e.description());
        main.files.discard(RecordFileNo);
        main.msgBox("!! non file !!", Icon::None);
        return;
    }
    Me.unload();
}
