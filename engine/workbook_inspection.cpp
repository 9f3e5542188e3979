// The worksheet list of the selected workbook, from the workbook itself or
// from the memory of what the user did with it.
#include "engine/engine.h"
#include "engine/server_use.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel {

void Engine::ListWorkbookSheets() {
  std::string path = SelectedWorkbookPath();
  if (path.empty()) return;
  EntryList& sheets = window_.worksheetList();
  ServerUse use;
  auto failure = runServerSteps([&] {
    int w = window_.workbookList().selected();
    bool stored = false;
    if (!state_.freshSheetListing) {
      // Decided before StoreSheetNames writes the row of the workbook shown.
      stored = state_.sheetNames.isStored(w);
      StoreSheetNames();
    }
    state_.currentWorkbookIndex = w;
    sheets.clear();
    if (stored) {
      for (int s = 1; s <= kMaxStoredWorksheets; ++s) {
        const std::string& label = state_.sheetNames.get(w, s, SheetNameTable::Label);
        if (label.empty()) break;
        int i = sheets.add(label);
        sheets.setTicked(i, state_.sheetNames.get(w, s, SheetNameTable::Ticked) == "1");
      }
    } else {
      use.app = newApplication_();
      use.book = &use.app->open(path);
      use.app->setDisplayAlerts(false);
      int n = use.book->worksheetCount();
      for (int s = 1; s <= n; ++s) {
        std::string name = use.book->worksheetName(s);
        int i = sheets.add(name);
        sheets.setTicked(i, true);
        if (s <= kMaxStoredWorksheets) {
          state_.sheetNames.set(w, s, SheetNameTable::Label, name);
          state_.sheetNames.set(w, s, SheetNameTable::Ticked, "1");
        }
      }
      use.book->close();
      use.book = nullptr;
      use.app->quit();
    }
    sheets.refresh();
  });
  if (failure && failure->number > 0) {
    use.closeAndQuit();
    window_.desktop().showMessage(failure->description, kStyleCritical);
    window_.desktop().showMessage("Excel file open failed!", kStyleCritical);
  }
}

void Engine::StoreSheetNames() {
  EntryList& sheets = window_.worksheetList();
  int w = state_.currentWorkbookIndex;
  int n = sheets.count();
  for (int s = 1; s <= n && s <= kMaxStoredWorksheets; ++s) {
    state_.sheetNames.set(w, s, SheetNameTable::Label, sheets.text(s));
    state_.sheetNames.set(w, s, SheetNameTable::Ticked, sheets.ticked(s) ? "1" : "");
  }
}

}  // namespace quorvel
