// Start-up and shut-down.
#include "main_window/vorbix_loader.h"
#include "platform/error.h"

bool VorbixLoader::tryOpenCommPort() {
    try {
        OpenCommPort();
        return true;
    } catch (const platform::RuntimeError& e) {
        // A port that will not open must not end the program (and lose unsaved
        // records); the operator can choose another one with PORT or retry later.
        msgBox(e.description(), platform::Icon::Critical);
        return false;
    }
}

void VorbixLoader::Form_Load() {
    LoadPortSettings();
    // Without settings, the PORT dialog has just run and opened the link, or said why it
    // could not.
    const bool asked = SettingsChanged == -1;
    offerLeftOverRecords();
    // The link opens here too, so a first start sends two CRs; a port that has just
    // failed is not tried again, so its failure is reported once.
    const bool failedFirst = asked && !MSComm1.portOpen();
    const bool opened = !failedFirst && tryOpenCommPort();
    // The first start's choice is written at exit only when its port opened, so after a
    // failure the next start asks again.
    SettingsChanged = asked && opened ? -1 : 0;
    starting_ = false;
}

void VorbixLoader::Form_Unload(EndedBy by) {
    // A request to end that arrives while a box of this shut-down is open must not
    // start it over.
    if (unloading_) return;
    unloading_ = true;
    // Ended during start-up (in the first-start dialog or a box), the first-start choice is
    // kept only when its port opened.
    const bool save = SettingsChanged == -1 && (!starting_ || MSComm1.portOpen());
    // Closing during a download: no watchdog may fire into a box shown while ending.
    Timer1.setEnabled(false);
    if (MSComm1.portOpen()) MSComm1.setPortOpen(false);
    // The operator who closes is not asked about unsaved records; an end the operator
    // did not choose keeps them for the next start to offer back.
    journal.end(by == EndedBy::System);
    if (save) {
        try {
            SavePortSettings();
        } catch (const platform::RuntimeError& e) {
            // The old file is still whole (it is replaced only once the new one is
            // written); say so and end normally.
            msgBox(e.description(), platform::Icon::Critical);
        }
    }
    files.closeAll();
    ui.endProgram();
}

void VorbixLoader::offerLeftOverRecords() {
    std::string records = journal.leftOver();
    if (!records.empty()) {
        if (msgBox("!! unsaved records found, restore? !!", platform::Icon::Question,
                   platform::Buttons::YesNoDefaultYes) == platform::Answer::Yes) {
            journal.restore(records);
            // As a load leaves them: the caret after the last, where the next record goes.
            // Moved, not copied: a large journal's records are held once.
            Text1.setText("");
            Text1.setSelText(std::move(records));
        } else {
            journal.discard();
        }
    }
    warnJournal();
}

void VorbixLoader::warnJournal() {
    const std::string why = journal.takeWarning();
    if (!why.empty()) msgBox(why, platform::Icon::Exclamation);
}
