// The file dialog of "file save" and "file load": a place, a folder, a list of record
// files and a name box. Its caption is its mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/form.h"

class VorbixLoader;

class File_Form {
  public:
    static constexpr const char* SaveCaption = " SAVE";
    static constexpr const char* LoadCaption = " LOAD";
    static const platform::FormTable& formTable();

    // Creates the dialog with `caption`, runs Form_Load and shows it modally; returns
    // once it is closed.
    static void show(VorbixLoader& main, const std::string& caption);

    // `form` must have been created from formTable().
    File_Form(VorbixLoader& main, platform::Form& form);
    ~File_Form();
    File_Form(const File_Form&) = delete;
    File_Form& operator=(const File_Form&) = delete;

    int16_t RecordFileNo = 0;

    VorbixLoader& main;
    platform::Form& Me;
    platform::DriveList& Drive1;
    platform::DirList& Dir1;
    platform::FileList& File1;
    platform::TextBox& Text1;    // the file name, without ".txt"
    platform::Button& Command1;  // "OK": saves or loads, by the dialog's caption

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();

  private:
    void save(const std::string& fullName);
    void load(const std::string& fullName);
};

// The largest record file "file load" takes. A logger's whole memory, saved, is a small
// fraction of this; anything larger is not a record file, and listing it would freeze
// the window and take memory by the gigabyte.
constexpr int64_t RecordFileLimit = 8 << 20;

// The box refusing a file of `size` bytes: its size and the limit.
std::string tooLargeMessage(int64_t size);

// The file "file load" opens for the name typed in `folder`: name.txt, else the one file
// whose extension differs from ".txt" only in case (LAPS.TXT, from a Windows machine or a
// memory card, where only the case-blind list showed it).
std::string recordFileToLoad(const platform::FileSystem& fs, const std::string& folder,
                             const std::string& name);

// "LAP_DAT_" and the date as MM-DD-YYYY.
std::string defaultRecordName(int year, int month, int day);

// The folder the dialog opens at for `folder`: the folder itself, or its nearest parent
// that can still be listed, or else the current directory; the default record folder
// when `folder` is empty.
std::string nearestFolder(const VorbixLoader& main, const std::string& folder);
