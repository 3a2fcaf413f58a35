// The main window's "file save" and "file load" commands.
#include "main_window/vorbix_loader.h"
#include "record_files/file_form.h"

void VorbixLoader::FILE_SAVE_Click() {
    File_Form::show(*this, File_Form::SaveCaption);
    // Set whether or not a file was written: the folder in use is kept for the next run.
    SettingsChanged = -1;
}

void VorbixLoader::FILE_LOAD_Click() {
    File_Form::show(*this, File_Form::LoadCaption);
}
