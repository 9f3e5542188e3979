#pragma once
// The conversion engine: the procedures the window's handlers call, working
// on the window through WindowModel and on workbooks through the
// spreadsheet component's nine steps. No Qt.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// Whether a file name ends in .xls, .xlsx, .xlsm or .xlsb (any letter case).
bool IsWorkbookFileName(const std::string& name);
// The workbook files of a folder itself (no sub-folders), bare names sorted
// ignoring letter case. All of them: callers apply their own limit.
std::vector<std::string> ListFolderWorkbooks(const std::string& folder);

// The sub-folders of a folder, sorted the same way; linked folders are left
// out, so that a walk down the tree cannot loop.
std::vector<std::string> ListSubFolders(const std::string& folder);
// `folder` and `name` joined by one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// The text up to, not including, its last "."; unchanged without one.
std::string StripExtension(const std::string& text);
// The text with every space and every "." removed.
std::string CleanFolderName(const std::string& text);

// A workbook's output folder: `outputDirectory` (ending in a separator)
// followed by `name`, with suffixes 1, 12, 123 ... appended while that path
// is taken by anything already there.
std::string ChooseWorkbookOutputFolder(const std::string& outputDirectory, const std::string& name);
// Creates one folder level; "" on success, else the system's reason.
std::string CreateOutputFolder(const std::string& path);

// What ConvertWorkbook wrote for one worksheet.
struct SheetConversion {
  int index = 0;           // 1-based worksheet position
  std::string name;        // the worksheet's name, or the label the user gave it
  std::string outputFile;  // full path of the text file
  std::uint32_t rows = 0;
  std::uint32_t columns = 0;
};

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

  // The worksheets written by the last ConvertWorkbook call, in order.
  const std::vector<SheetConversion>& LastConvertedSheets() const;
  // Random names are drawn from a generator seeded once from the clock;
  // this reseeds it, for output that repeats from run to run.
  void SeedRandomNames(std::uint32_t seed);

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
