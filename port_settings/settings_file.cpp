// Reading "PORT.DAT" at start-up and writing it at shut-down.
#include <optional>

#include "main_window/vorbix_loader.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/log.h"
#include "port_settings/settings_format.h"

namespace {

constexpr const char* SettingsFile = "PORT.DAT";

// The settings the file holds, or nothing when it cannot be read; the reason is logged.
std::optional<settings::PortSettings> readSettings(platform::Files& files, int16_t& fileNo) {
    std::optional<settings::PortSettings> s;
    std::string why = std::string(SettingsFile) + ": not a settings file";
    try {
        fileNo = files.freeFile();
        files.openInput(fileNo, SettingsFile);
        try {
            s = settings::parse(files.readAll(fileNo));
        } catch (const platform::RuntimeError& e) {
            why = e.description();
        }
        // Only our own number: when freeFile failed it may still name someone else's file.
        files.close(fileNo);
    } catch (const platform::RuntimeError& e) {
        why = e.description();
    }
    if (!s) platform::logLine(why + "; using the defaults");
    return s;
}

}  // namespace

void VorbixLoader::LoadPortSettings() {
    if (auto s = readSettings(files, SettingsFileNo)) {
        PORT_NO = s->port;
        BPS_ = std::move(s->bps);
        PASS_NAME = platform::settingsFolder(s->folder, fileSystem);
        return;
    }
    // Any unreadable file means first-run defaults and asking for the port.
    PORT_NO = 1;
    BPS_ = "57600";
    PASS_NAME = defaultRecordFolder();
    PORT_SET_Click();
}

void VorbixLoader::SavePortSettings() {
    SettingsFileNo = files.freeFile();
    // The program's own file: a link put at its name is replaced, never written through.
    files.openOutput(SettingsFileNo, SettingsFile, platform::io::Links::Refuse);
    try {
        files.print(SettingsFileNo,
                    settings::format({PORT_NO, BPS_, platform::settingsBytes(PASS_NAME)}));
    } catch (const platform::RuntimeError&) {
        // Left open, the part-written file would replace the old one when all files
        // are closed at shut-down.
        files.discard(SettingsFileNo);
        throw;
    }
    files.close(SettingsFileNo);
}
