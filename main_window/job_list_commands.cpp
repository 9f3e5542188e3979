// The job list and the workbook browser: add, remove, move, select.
#include <string>

#include "dialogs/common_dialogs.h"
#include "dialogs/desktop_host.h"
#include "main_window/main_window.h"
#include "main_window/list_view.h"

namespace quorvel {

void MainWindow::clearSheetNames() {
  procedures_->state().sheetNames.erase();
}

void MainWindow::onAddWorkbookClicked() {
  try {
    CCommonDialogs dialog(host_);
    dialog.Init(this);
    dialog.setTitle("Select Excel File");
    dialog.setFilter(std::string("Excel File(*.xls;*.xlsx)") + '\0' + "*.xls;*.xlsx" + '\0');
    if (dialog.ShowOpen()) {
      const std::string path = dialog.FileName();
      const int index = jobEntries_->add(path, kImageFile);
      jobEntries_->select(index);
      jobEntries_->refresh();
      jobEntries_->ensureVisible(index);
      procedures_->AddFolderWorkbooks(path);
      clearSheetNames();
      setPointer(kPointerHourglass);
      procedures_->ListWorkbookSheets();
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
    if (dialog.ShowFolder()) {
      const std::string path = dialog.Path();
      if (!path.empty()) {
        const int index = jobEntries_->add(path, kImageFolder);
        jobEntries_->select(index);
        procedures_->AddFolderWorkbooks(path);
        jobEntries_->refresh();
        jobEntries_->ensureVisible(index);
        setPointer(kPointerHourglass);
        clearSheetNames();
        procedures_->ListWorkbookSheets();
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
      if (count == 1) {
        clearSheetNames();
        workbookEntries_->clear();
        worksheetEntries_->clear();
      } else {
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
