// Reading "PORT.DAT" at start-up and writing it at shut-down.
#include "main_window/vorbix_loader.h"
#include "platform/error.h"
#include "port_settings/settings_format.h"

namespace {
constexpr const char* SettingsFile = "PORT.DAT";
}

void VorbixLoader::LoadPortSettings() {
    bool opened = false;
    try {
        SettingsFileNo = files.freeFile();
        files.openInput(SettingsFileNo, SettingsFile);
        opened = true;
        auto s = settings::parse(files.readAll(SettingsFileNo));
        if (!s) throw platform::RuntimeError(platform::err::InputPastEnd, "Bad settings file");
        PORT_NO = s->port;
        BPS_ = std::move(s->bps);
        PASS_NAME = std::move(s->folder);
        files.close(SettingsFileNo);
        return;
    } catch (const platform::RuntimeError&) {
        // Any unreadable file means first-run defaults and asking for the port.
    }
    // Only our own number: when freeFile failed it may still name someone else's file.
    if (opened) files.close(SettingsFileNo);
    PORT_NO = 1;
    BPS_ = "57600";
    PASS_NAME = fileSystem.currentDirectory();
    PORT_SET_Click();
}

void VorbixLoader::SavePortSettings() {
    SettingsFileNo = files.freeFile();
    files.openOutput(SettingsFileNo, SettingsFile);
    try {
        files.print(SettingsFileNo, settings::format({PORT_NO, BPS_, PASS_NAME}));
    } catch (...) {
        // Left open, the part-written file would replace the old one when all files
        // are closed at shut-down.
        files.discard(SettingsFileNo);
        throw;
    }
    files.close(SettingsFileNo);
}
