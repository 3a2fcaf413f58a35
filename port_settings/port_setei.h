// The port dialog: edits copies of the main window's port and speed and hands them
// back only on "OK".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/form.h"

class VorbixLoader;

class port_setei {
  public:
    static constexpr int PortCount = 12;
    static const platform::FormTable& formTable();

    port_setei(platform::Ui& ui, VorbixLoader& main);
    port_setei(const port_setei&) = delete;
    port_setei& operator=(const port_setei&) = delete;

    int16_t SelPort = 0;
    std::string SelBps;

    void Form_Load();
    void com_no_Click(int Index);
    // The device menu of port Index + 1: choosing a device points its COM link there.
    void com_no_ContextMenu(int Index);
    void Combo1_Click();
    void ok_bot_Click();

    void showModal() { form_->showModal(); }

  private:
    void showDevice(int Index);
    VorbixLoader& main_;
    std::unique_ptr<platform::Form> form_;
    platform::ComboBox& Combo1;  // the speed: chosen from the list, or typed
    platform::Button& ok_bot;
};
