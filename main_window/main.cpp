// Quorvel's window: takes no arguments but --help and --version and reads
// no environment but where the user's configuration folder is.
#include <QApplication>
#include <iostream>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "main_window/command_line.h"
#include "main_window/main_window.h"
#include "settings/app_folder.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so they work without a display.
  if (const auto status = quorvel::AnswerCommandLine(argc, argv, std::cout, std::cerr))
    return *status;
  // Qt sees no arguments either.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Message boxes and dialogs in the window's one font.
  QApplication::setFont(quorvel::WindowFont());
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QUORVEL_APP_ID);
  quorvel::QtDesktopHost host;
  quorvel::MainWindow window(
      quorvel::ApplicationFolder(QCoreApplication::applicationDirPath().toStdString()), host);
  window.show();
  return app.exec();
}
