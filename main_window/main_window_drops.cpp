// Files and folders dropped on the window from a file manager.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "dialogs/common_dialogs.h"
#include "dialogs/desktop_host.h"
#include "engine/folder_scan.h"
#include "engine/path_kind.h"
#include "main_window/main_window.h"
#include "main_window/output_combo.h"

namespace quorvel {

namespace {

// The local paths a drop carries; addresses of other kinds are not ours.
std::vector<std::string> LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    QString path = url.toLocalFile();
    if (path.size() > 1 && path.endsWith('/')) path.chop(1);
    paths.push_back(path.toStdString());
  }
  return paths;
}

}  // namespace

void MainWindow::addPaths(const std::vector<std::string>& paths) {
  std::vector<std::pair<std::string, int>> entries;
  std::vector<std::string> refused;
  for (const std::string& path : paths) {
    const PathKind kind = GetPathKind(path);
    if (kind == PathKind::Directory)
      entries.emplace_back(path, kImageFolder);
    else if (kind == PathKind::File && IsWorkbookFileName(NameOfPath(path)))
      entries.emplace_back(path, kImageFile);
    else
      refused.push_back(NameOfPath(path));
  }
  addJobEntries(entries);
  setPointer(kPointerDefault);
  if (refused.empty()) return;
  std::string names;
  for (const std::string& name : refused) names += (names.empty() ? "" : ", ") + name;
  host_.showMessage(
      "Only workbooks (.xls, .xlsx, .xlsm, .xlsb) and folders can be added. "
      "Not added: " +
          names,
      MessageStyle::Information);
}

bool MainWindow::takesDrop(const QDropEvent& event) const {
  // Nothing joins the job list while a run lasts, and what the output box
  // refused is not a job.
  const QRect box(outputDirectoryBox_->mapTo(this, QPoint(0, 0)), outputDirectoryBox_->size());
  return !converting() && !box.contains(event.position().toPoint()) &&
         !LocalPaths(event.mimeData()).empty();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (takesDrop(*event))
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (takesDrop(*event))
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalPaths(event->mimeData());
  if (!takesDrop(*event)) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  addPaths(paths);
}

}  // namespace quorvel
