#include "engine/workbook_inspection.h"

#include "engine/path_kind.h"
#include "engine/server_use.h"

namespace quorvel {

WorksheetList listWorksheets(const std::string& path,
                             const spreadsheet::ApplicationFactory& application) {
  WorksheetList list;
  if (LiteralPathKind(path) != PathKind::File) {
    list.outcome = Outcome::NoWorkbook;
    return list;
  }
  ServerUse use;
  list.failure = runServerSteps([&] {
    use.start(application);
    use.book = &use.app->open(path);
    use.app->setDisplayAlerts(false);
    const int n = use.book->worksheetCount();
    for (int s = 1; s <= n; ++s) list.names.push_back(use.book->worksheetName(s));
    use.finish();
  });
  if (list.failure) {
    use.abandon(*list.failure);
    list.outcome = Outcome::Failed;
  }
  return list;
}

}  // namespace quorvel
