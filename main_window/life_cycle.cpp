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
    tryOpenCommPort();
    SettingsChanged = 0;
}

void VorbixLoader::Form_Unload(EndedBy) {
    // A request to end that arrives while a box of this shut-down is open must not
    // start it over.
    if (unloading_) return;
    unloading_ = true;
    // Closing during a download: no watchdog may fire into a box shown while ending.
    Timer1.setEnabled(false);
    if (MSComm1.portOpen()) MSComm1.setPortOpen(false);
    if (SettingsChanged == -1) {
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
