#pragma once
// The conversion engine: the procedures the window's handlers call, working
// on the window through WindowModel and on workbooks through the
// spreadsheet component's nine steps. No Qt.
#include <memory>
#include <string>

#include "engine/sheet_name_table.h"
#include "engine/spreadsheet/automation.h"
#include "engine/ui_interfaces.h"

namespace quorvel {

// Path kinds.
inline constexpr int kPathNothing = 0;
inline constexpr int kPathDirectory = 1;
inline constexpr int kPathFile = 2;

// 1 an existing directory (with or without a trailing separator), 2 an
// existing regular file, 0 anything else (including wildcard characters).
int GetPathKind(const std::string& path);

// The text up to, not including, its last "."; unchanged without one.
std::string StripExtension(const std::string& text);
// The text with every space and every "." removed.
std::string CleanFolderName(const std::string& text);

// The engine's shared values, one set per window.
struct EngineState {
  SheetNameTable sheetNames;
  int currentWorkbookIndex = 0;
  bool freshSheetListing = true;
  int sheetCounter = 0;
  std::string outputDirectory;       // ends in exactly one separator once validated
  std::string workbookOutputFolder;  // no trailing separator
};

class Engine {
 public:
  // `newApplication` creates the spreadsheet component for each use; the
  // default is the real one.
  explicit Engine(WindowModel& window, spreadsheet::ApplicationFactory newApplication = {});
  ~Engine();

  // Path classification and folder scan.
  void AddFolderWorkbooks(const std::string& path);
  std::string SelectedWorkbookPath();
  std::string WorkbookPathAt(int position);

  // Workbook inspection.
  void ListWorkbookSheets();
  void StoreSheetNames();

  // Workbook conversion: 1 converted, 2 failed (shown), 3 no path, 0 failed
  // with a non-positive error number.
  int ConvertWorkbook(int index);

  // Output file naming.
  std::string MakeOutputFileName(int position, const std::string& sheetName);

  // Output folder validation.
  bool CheckOutputDirectory();

  // The Convert command: converts the ticked workbooks of the workbook list.
  void RunConversion();

  EngineState& state() { return state_; }
  WindowModel& window() { return window_; }

 private:
  struct Impl;
  WindowModel& window_;
  spreadsheet::ApplicationFactory newApplication_;
  EngineState state_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel
