// The job list and the workbook browser: add, remove, move, select.
#include <QDir>
#include <string>

#include "dialogs/common_dialogs.h"
#include "dialogs/desktop_host.h"
#include "engine/path_kind.h"
#include "main_window/list_view.h"
#include "main_window/main_window.h"

namespace quorvel {

void MainWindow::clearSheetNames() {
  procedures_->state().sheetNames.erase();
}

std::string MainWindow::jobDialogFolder() const {
  if (!lastJobFolder_.empty()) return lastJobFolder_;
  // At first: where the last entry of the job list is, or the home folder.
  for (int i = jobEntries_->count(); i >= 1; --i) {
    const std::string path = jobEntries_->text(i);
    switch (GetPathKind(path)) {
      case PathKind::Directory:
        return path;
      case PathKind::File:
        return FolderOfPath(path);
      case PathKind::Nothing:
        break;
    }
  }
  return QDir::homePath().toStdString();
}

void MainWindow::addJobEntries(const std::vector<std::pair<std::string, int>>& entries) {
  if (entries.empty()) return;
  int index = 0;
  for (const auto& [path, image] : entries) index = jobEntries_->add(path, image);
  // Each added entry would be listed in turn, and only the last one stay
  // on display: only the last one is.
  const std::string path = entries.back().first;
  jobEntries_->select(index);
  jobEntries_->refresh();
  jobEntries_->ensureVisible(index);
  procedures_->AddFolderWorkbooks(path);
  clearSheetNames();
  setPointer(kPointerHourglass);
  procedures_->ListWorkbookSheets();
}

void MainWindow::onAddWorkbookClicked() {
  try {
    CCommonDialogs dialog(host_);
    dialog.Init(this);
    dialog.setTitle("Select Excel File");
    dialog.setFilter(std::string("Excel File(*.xls;*.xlsx)") + '\0' + "*.xls;*.xlsx" + '\0');
    dialog.setInitDir(jobDialogFolder());
    dialog.setMultiSelect(true);
    if (dialog.ShowOpen()) {
      lastJobFolder_ = dialog.Path();
      std::vector<std::pair<std::string, int>> entries;
      for (const std::string& path : dialog.FileNames()) entries.emplace_back(path, kImageFile);
      addJobEntries(entries);
    }
  } catch (...) {
    // Ends quietly; what was done stays done.
  }
  setPointer(kPointerDefault);
}

void MainWindow::onAddFolderClicked() {
  try {
    CCommonDialogs dialog(host_);
    dialog.Init(this);
    dialog.setTitle("Add all excel files in folder");
    dialog.setInitDir(jobDialogFolder());
    if (dialog.ShowFolder()) {
      const std::string path = dialog.Path();
      if (!path.empty()) {
        lastJobFolder_ = path;
        addJobEntries({{path, kImageFolder}});
      }
    }
  } catch (...) {
  }
  setPointer(kPointerDefault);
}

void MainWindow::onRemoveJobClicked() {
  try {
    const int count = jobEntries_->count();
    const int index = jobEntries_->selected();
    if (count > 0 && index > 0) {
      jobEntries_->remove(index);
      // The lists showed the entry removed: nothing of it stays on display,
      // also when the next entry has nothing to list.
      clearSheetNames();
      workbookEntries_->clear();
      worksheetEntries_->clear();
      if (count > 1) {
        const int next = index == 1 ? 1 : index - 1;
        jobEntries_->select(next);
        procedures_->AddFolderWorkbooks(jobEntries_->text(next));
        setPointer(kPointerHourglass);
        procedures_->ListWorkbookSheets();
      }
    }
  } catch (...) {
  }
  setPointer(kPointerDefault);
}

void MainWindow::moveJobEntry(int offset) {
  const int count = jobEntries_->count();
  const int index = jobEntries_->selected();
  if (count == 0 || index == 0) return;
  if ((offset < 0 && index == 1) || (offset > 0 && index == count)) return;
  const std::string text = jobEntries_->text(index);
  const int image = jobEntries_->image(index);
  jobEntries_->remove(index);
  const int moved = jobEntries_->add(text, image, index + offset);
  jobEntries_->setImage(moved, image);
  jobEntries_->select(moved);
  jobEntries_->ensureVisible(moved);
}

void MainWindow::onMoveUpClicked() {
  moveJobEntry(-1);
}

void MainWindow::onMoveDownClicked() {
  moveJobEntry(+1);
}

void MainWindow::onRemoveAllClicked() {
  clearSheetNames();
  jobEntries_->clear();
  workbookEntries_->clear();
  worksheetEntries_->clear();
}

void MainWindow::onJobSelected() {
  if (jobEntries_->count() == 0) return;
  const int index = jobEntries_->selected();
  if (index == 0) return;
  const std::string path = jobEntries_->text(index);
  workbookEntries_->clear();
  worksheetEntries_->clear();
  clearSheetNames();
  setPointer(kPointerHourglass);
  procedures_->AddFolderWorkbooks(path);
  procedures_->ListWorkbookSheets();
  setPointer(kPointerDefault);
  // The table keeps the names just listed (no second erase), so that label
  // edits survive a click on the workbook already on display.
}

void MainWindow::onWorkbookSelected() {
  setPointer(kPointerHourglass);
  procedures_->ListWorkbookSheets(SheetListing::Remembered);
  setPointer(kPointerDefault);
}

}  // namespace quorvel
