// The output-directory history: Browse, View and the two
// Edit-menu remove commands.
#include <QDir>

#include "dialogs/common_dialogs.h"
#include "dialogs/desktop_host.h"
#include "engine/path_kind.h"
#include "main_window/main_window.h"
#include "main_window/output_combo.h"

namespace quorvel {

void MainWindow::onBrowseClicked() {
  CCommonDialogs dialog(host_);
  dialog.Init(this);
  dialog.setTitle("Output Folder");
  // The folder in the box, else the one chosen last, else home.
  std::string start = outputEntries_->text();
  if (start.empty() || GetPathKind(start) != PathKind::Directory) start = lastOutputFolder_;
  if (start.empty()) start = QDir::homePath().toStdString();
  dialog.setInitDir(start);
  if (!dialog.ShowFolder()) return;
  const std::string path = dialog.Path();
  if (path.empty()) return;
  lastOutputFolder_ = path;
  outputEntries_->insert(0, path);
  if (outputEntries_->count() >= 1) outputEntries_->select(0);
}

void MainWindow::onViewClicked() {
  // An empty box names no directory; with the separator appended it would
  // name the file system's root.
  if (outputEntries_->text().empty()) return;
  const std::string folder = outputEntries_->text() + "/";
  if (GetPathKind(folder) == PathKind::Directory) host_.open(folder);
}

void MainWindow::onRemoveOutputDirectoryClicked() {
  const int count = outputEntries_->count();
  const int index = outputEntries_->selectedIndex();
  if (count == 0 || index == -1) return;
  outputEntries_->remove(index);
  if (index == count - 1)
    outputEntries_->select(count - 1 > 0 ? index - 1 : -1);
  else
    outputEntries_->select(index);
}

void MainWindow::onRemoveAllOutputDirectoriesClicked() {
  const int count = outputEntries_->count();
  for (int i = 0; i < count; ++i) outputEntries_->remove(0);
}

}  // namespace quorvel
