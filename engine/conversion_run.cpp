// The Convert command: every ticked workbook of the workbook list into its
// own new sub-folder of the output directory.
#include "engine/engine.h"

namespace quorvel {

void Engine::RunConversion() {
  EntryList& workbooks = window_.workbookList();
  Desktop& desktop = window_.desktop();
  const int n = workbooks.count();  // read once: the list is not re-read during the run
  if (n < 1) {
    desktop.showMessage("Please select a workbook first!", kStyleInformation);
  } else if (CheckOutputDirectory()) {
    StoreSheetNames();
    window_.setPointer(kPointerHourglass);
    for (int i = 1; i <= n; ++i) {
      if (!workbooks.ticked(i)) continue;
      const std::string name = CleanFolderName(StripExtension(workbooks.text(i)));
      window_.setStatus("Convert " + name);
      state_.workbookOutputFolder = ChooseWorkbookOutputFolder(state_.outputDirectory, name);
      int result = 0;
      std::string reason = CreateOutputFolder(state_.workbookOutputFolder);
      if (reason.empty()) {
        result = ConvertWorkbook(i);
      } else {
        // Converting into a folder that is not there would fail on every
        // worksheet; say why once and go on with the next workbook.
        desktop.showMessage(
            "Failed to create folder '" + state_.workbookOutputFolder + "': " + reason,
            kStyleCritical);
      }
      if (result != 1) desktop.showMessage("Convert " + name + " file failed!", kStyleCritical);
    }
    desktop.open(state_.outputDirectory);
  }
  window_.setStatus("");
  window_.setProgressValue(0);
  window_.setPointer(kPointerDefault);
}

}  // namespace quorvel
