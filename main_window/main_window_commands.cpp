// Settings, Help, HomePage, About and Exit of the main window.
#include "dialogs/desktop_host.h"
#include "help_about/help_about.h"
#include "main_window/main_window.h"
#include "settings/setting_dialog.h"

namespace quorvel {

void MainWindow::onSettingsClicked() {
  ShowSettingsDialog(appFolder_, host_, this);
}

void MainWindow::onHelpClicked() {
  OpenHelpFile(host_);
}

void MainWindow::onHomePageClicked() {
  OpenHomePage(host_);
}

void MainWindow::onAboutClicked() {
  ShowAboutBox(host_, this, appFolder_);
}

void MainWindow::onExitClicked() {
  close();
}

}  // namespace quorvel
