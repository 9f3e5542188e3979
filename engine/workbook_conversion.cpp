// One workbook of the workbook list written as text files, one per
// worksheet the user left ticked, into the workbook's output folder.
#include <filesystem>

#include "engine/engine.h"
#include "engine/engine_impl.h"
#include "engine/server_use.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel {

int Engine::ConvertWorkbook(int index) {
  impl_->converted.clear();
  impl_->namesWritten.clear();
  std::string path = WorkbookPathAt(index);
  if (path.empty()) return 3;
  const std::string prefix =
      state_.workbookOutputFolder + std::filesystem::path::preferred_separator;
  ServerUse use;
  auto failure = runServerSteps([&] {
    use.app = newApplication_();
    use.book = &use.app->open(path);
    use.app->setDisplayAlerts(false);
    int n = use.book->worksheetCount();
    window_.setProgressMax(n);
    const bool stored = state_.sheetNames.isStored(index);
    for (int s = 1; s <= n; ++s) {
      std::string baseName;
      bool write = true;
      if (stored && s <= kMaxStoredWorksheets) {
        write = !state_.sheetNames.get(index, s, SheetNameTable::Ticked).empty();
        if (write) baseName = state_.sheetNames.get(index, s, SheetNameTable::Label);
      } else {
        baseName = use.book->worksheetName(s);
      }
      if (write) {
        std::string fileBase = MakeOutputFileName(index, baseName);
        impl_->namesWritten.insert(fileBase);
        std::string file = prefix + fileBase + ".txt";
        use.book->selectSheet(s);
        spreadsheet::SheetStats stats = use.book->saveAs(file, spreadsheet::xlCurrentPlatformText);
        impl_->converted.push_back({s, baseName, file, stats.rows, stats.columns});
      }
      window_.setProgressValue(s);
    }
    use.book->close();
    use.book = nullptr;
    use.app->quit();
    use.app.reset();
    window_.setProgressValue(0);
    state_.sheetCounter = 0;
  });
  if (!failure) return 1;
  // Files written so far stay; the progress bar and SheetCounter keep their
  // values, so numbering goes on in the next workbook.
  if (failure->number <= 0) return 0;
  window_.desktop().showMessage(failure->description, kStylePlain);
  use.closeAndQuit();
  return 2;
}

}  // namespace quorvel
