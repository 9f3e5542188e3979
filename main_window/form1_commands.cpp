// Convert, Settings, Help, HomePage, About and Exit of the main window.
#include "dialogs/desktop_host.h"
#include "help_about/help_about.h"
#include "main_window/form1.h"
#include "settings/setting_dialog.h"

namespace quorvel {

void Form1::Command6_Click() {
  engine_->RunConversion();
}

void Form1::Settings_Click() {
  ShowSettingsDialog(appFolder_, host_, this);
}

void Form1::Command8_Click() {
  OpenHelpFile(host_);
}

void Form1::Command7_Click() {
  OpenHomePage(host_);
}

void Form1::About_Click() {
  ShowAboutBox(host_, this, appFolder_);
}

void Form1::Command9_Click() {
  close();
}

}  // namespace quorvel
