// Placeholder until the record files land.
#include "main_window/vorbix_loader.h"

void VorbixLoader::FILE_SAVE_Click() {}
void VorbixLoader::FILE_LOAD_Click() {}
