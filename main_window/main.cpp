// Quorvel's window: takes no arguments and reads no environment; its files
// live beside the executable.
#include <QApplication>

#include "dialogs/desktop_host.h"
#include "main_window/form1.h"

int main(int /*argc*/, char** argv) {
  // Qt sees no arguments either.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  quorvel::QtDesktopHost host;
  quorvel::MainWindow window(QCoreApplication::applicationDirPath().toStdString(), host);
  window.show();
  return app.exec();
}
