#include "main_window/vorbix_loader.h"

#include "main_window/main_form.h"

VorbixLoader::VorbixLoader(platform::Ui& ui_, platform::Form& form_, platform::CommPort& comm,
                           platform::Files& files_, const platform::FileSystem& fileSystem_,
                           const platform::Clock& clock_, platform::JournalFile* journalFile)
    : ui(ui_),
      form(form_),
      files(files_),
      fileSystem(fileSystem_),
      clock(clock_),
      Text1(form_.textBox("Text1")),
      Timer1(form_.timer("Timer1")),
      PORT_BPS(form_.label("PORT_BPS")),
      AND_CLR(form_.checkBox("AND_CLR")),
      PORT_SET(form_.button("PORT_SET")),
      down_load(form_.button("down_load")),
      FILE_SAVE(form_.button("FILE_SAVE")),
      FILE_LOAD(form_.button("FILE_LOAD")),
      MSComm1(comm),
      journal(journalFile, clock_) {
    down_load.onClick = [this] { down_load_Click(); };
    PORT_SET.onClick = [this] { PORT_SET_Click(); };
    FILE_SAVE.onClick = [this] { FILE_SAVE_Click(); };
    FILE_LOAD.onClick = [this] { FILE_LOAD_Click(); };
    Timer1.onTimer = [this] { Timer1_Timer(); };
    MSComm1.onComm = [this] { MSComm1_OnComm(); };
    form.onUnload = [this] { Form_Unload(EndedBy::Operator); };
    ui.onEndRequest = [this] { Form_Unload(EndedBy::System); };
}

VorbixLoader::~VorbixLoader() {
    MSComm1.onComm = nullptr;
    ui.onEndRequest = nullptr;
}

const platform::FormTable& VorbixLoader::formTable() {
    return mainFormTable();
}

platform::Answer VorbixLoader::msgBox(const std::string& text, platform::Icon icon,
                                      platform::Buttons buttons) {
    return ui.msgBox(text, icon, buttons);
}

std::string VorbixLoader::defaultRecordFolder() const {
    return fromMenu ? fileSystem.documentsFolder() : fileSystem.currentDirectory();
}

void VorbixLoader::setTransferBusy(bool busy) {
    platform::Enableable* const commands[] = {&PORT_SET, &AND_CLR, &down_load, &FILE_SAVE,
                                              &FILE_LOAD};
    for (auto* c : commands) c->setEnabled(!busy);
    form.setMousePointer(busy ? platform::PointerHourglass : platform::PointerDefault);
}

void VorbixLoader::OpenCommPort() {
    // Shut-down is final: a handler that goes on after a nested loop (the PORT dialog, a
    // box, the file dialog) ran Form_Unload must not open the port again, take its lock
    // or write to it. This is the one place the port opens; closed, it takes no output.
    if (unloading_) return;
    if (MSComm1.portOpen()) MSComm1.setPortOpen(false);
    Timer1.setEnabled(false);
    MSComm1.setCommPort(PORT_NO);
    MSComm1.setSettings(BPS_ + ",n,8,1");
    MSComm1.setInputLen(1);
    MSComm1.setRThreshold(1);
    PORT_BPS.setCaption(BPS_ + "bps");
    MSComm1.setPortOpen(true);
    MSComm1.setInBufferCount(0);
    MSComm1.output("\r");
}
