// The main window: all state that lasts for the run, the serial link and the handlers.
// Handlers of each subsystem are defined in that subsystem's folder.
#pragma once

#include <cstdint>
#include <string>

#include "download/frame_check.h"
#include "main_window/journal.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/form.h"

class VorbixLoader {
  public:
    static constexpr const char* Title = "VorbixLoader";
    static const platform::FormTable& formTable();

    // `form` must have been created from formTable(). Without a journal file, unsaved
    // records are not kept against a crash.
    VorbixLoader(platform::Ui& ui, platform::Form& form, platform::CommPort& comm,
                 platform::Files& files, const platform::FileSystem& fileSystem,
                 const platform::Clock& clock, platform::JournalFile* journalFile = nullptr);
    ~VorbixLoader();
    VorbixLoader(const VorbixLoader&) = delete;
    VorbixLoader& operator=(const VorbixLoader&) = delete;

    // Port settings, as kept in PORT.DAT.
    int16_t PORT_NO = 0;
    std::string BPS_;
    std::string PASS_NAME;  // the record folder: the file dialog opens here
    bool fromMenu = false;  // started from the desktop or Start menu (--from-menu)
    // Where the PORT dialog's device menu looks for serial devices: the system's own when
    // empty; tests give a tree of their own.
    std::string deviceRoot;
    int16_t SettingsFileNo = 0;
    int16_t SettingsChanged = 0;
    std::string RxLine;
    int16_t RxError = 0;
    int16_t TimeoutTicks = 0;

    platform::Ui& ui;
    platform::Form& form;
    platform::Files& files;
    const platform::FileSystem& fileSystem;
    const platform::Clock& clock;

    // Controls.
    platform::TextBox& Text1;  // the record list: one downloaded or loaded record a line
    platform::Timer& Timer1;   // the download watchdog, ticking every 100 ms
    platform::Label& PORT_BPS;
    platform::CheckBox& AND_CLR;
    platform::Button& PORT_SET;
    platform::Button& down_load;
    platform::Button& FILE_SAVE;
    platform::Button& FILE_LOAD;
    platform::CommPort& MSComm1;

    // The record text's unsaved records, kept against a crash.
    Journal journal;

    // Life cycle (main_window/).
    // Who ends the run: the operator, closing the window, or the system (a termination
    // signal, the end of the desktop session). Both take the same steps.
    enum class EndedBy { Operator, System };
    void Form_Load();
    void Form_Unload(EndedBy by = EndedBy::Operator);
    void OpenCommPort();
    // OpenCommPort, reporting a failure in a message box instead of raising it.
    bool tryOpenCommPort();
    // Busy: every command disabled and the hourglass shown, while a download runs.
    void setTransferBusy(bool busy);
    // Offers the records a crash left in the journal; before the link opens.
    void offerLeftOverRecords();
    // Says once per run that crash protection is off, and why.
    void warnJournal();
    // The record folder before the operator chose one: the folder a terminal started the
    // program in, or the documents folder when started from the menu.
    std::string defaultRecordFolder() const;
    platform::Answer msgBox(const std::string& text, platform::Icon icon,
                            platform::Buttons buttons = platform::Buttons::Ok);

    // Download (download/).
    // The watchdog: Timer1 ticks every WatchdogTickMs, and a download that hears nothing
    // for TimeoutReload ticks (six seconds) ends with time over.
    static constexpr int WatchdogTickMs = 100;
    static constexpr int16_t TimeoutReload = 60;
    // One byte more than the longest frame, so that a line cut at the limit never passes.
    static constexpr size_t RxLineLimit = frame::MaxLine + 1;
    void down_load_Click();
    void MSComm1_OnComm();
    void Timer1_Timer();

    // Port settings (port_settings/).
    void LoadPortSettings();
    void SavePortSettings();
    void PORT_SET_Click();

    // Record files (record_files/).
    void FILE_SAVE_Click();
    void FILE_LOAD_Click();

  private:
    bool unloading_ = false;
    bool starting_ = true;  // until Form_Load has ended
    void receiveStep();
    void finishDownload();
};
