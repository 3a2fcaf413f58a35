// The PORT command: choose port and speed, then reopen the link.
#include "main_window/vorbix_loader.h"
#include "port_settings/port_setei.h"

void VorbixLoader::PORT_SET_Click() {
    // Set before the dialog, so the settings are written however it is left.
    SettingsChanged = -1;
    {
        port_setei dialog(ui, *this);
        dialog.Form_Load();
        dialog.showModal();
    }
    // A port that will not open is reported; the operator can run PORT again.
    tryOpenCommPort();
}
