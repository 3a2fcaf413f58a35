// Fakes for the file dialog that look at the real file system, as the window's lists do,
// so tests can remove folders under an open dialog and see what the program makes of it.
#pragma once

#include <dirent.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/error.h"
#include "tests/support/fakes.h"

namespace fake {

inline void requireListable(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) throw platform::fromErrno(errno, folder);
    ::closedir(d);
}

struct FsDirList : DirList {
    void setPath(const std::string& p) override {
        requireListable(p);
        DirList::setPath(p);
    }
};

struct FsFileList : FileList {
    void setPath(const std::string& p) override {
        requireListable(p);
        FileList::setPath(p);
    }
    void click(const std::string& name) {  // the operator picks a file
        chosen = name;
        if (onClick) onClick();
    }
};

// A record text box that takes `room` more lines and then refuses text.
struct FullTextBox : TextBox {
    int room = 0;
    void setSelText(const std::string& s) override {
        if (room-- <= 0) throw platform::RuntimeError(platform::err::Overflow, "Out of room");
        TextBox::setSelText(s);
    }
};

// Creates dialogs whose folder and file lists are the file-system ones above.
class RecordUi : public Ui {
  public:
    using Ui::Ui;
    std::unique_ptr<platform::Form> createForm(const platform::FormSpec& table) override {
        auto form = Ui::createForm(table);
        auto& f = static_cast<Form&>(*form);
        for (auto& [name, list] : f.dirs) list = std::make_unique<FsDirList>();
        for (auto& [name, list] : f.fileLists) list = std::make_unique<FsFileList>();
        return form;
    }
};

}  // namespace fake
