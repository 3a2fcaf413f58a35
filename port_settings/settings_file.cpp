// Placeholder until the settings file lands.
#include "main_window/vorbix_loader.h"

void VorbixLoader::LoadPortSettings() {
    PORT_NO = 1;
    BPS_ = "57600";
    PASS_NAME = platform::currentDirectory();
}
void VorbixLoader::SavePortSettings() {}
void VorbixLoader::PORT_SET_Click() {}
