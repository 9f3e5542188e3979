// Draws the window as a user finds it after selecting a job: the job list
// of the given workbooks, the first entry selected, its workbooks and
// worksheets listed. Writes the picture to a PNG file.
//
//   quorvel_screenshot <application folder> <picture.png> <workbook>...
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "dialogs/desktop_host.h"
#include "main_window/list_view.h"
#include "main_window/main_window.h"
#include "settings/line_file.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <application folder> <picture.png> <workbook>...\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const std::string folder = argv[1];
  std::vector<std::string> jobs(argv + 3, argv + argc);
  quorvel::WriteLines(folder + "/EXCEL.txt", jobs);
  quorvel::QtDesktopHost host;
  quorvel::MainWindow window(folder, host);
  window.show();
  window.jobEntries().select(1);
  window.onJobSelected();
  window.findChild<QWidget*>("ListView1")->setFocus();
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
    app.quit();
  });
  app.exec();
  return status;
}
