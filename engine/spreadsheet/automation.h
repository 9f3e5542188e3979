#pragma once
// The spreadsheet component's automation interface: the nine steps the
// engine takes to list and save worksheets, each as one call.
//
//   1 createApplication()          6 Workbook::selectSheet(i)
//   2 Application::open(path)      7 Workbook::saveAs(path, xlCurrentPlatformText)
//   3 Application::setDisplayAlerts(false)
//   4 Workbook::worksheetCount()   8 Workbook::close()
//   5 Workbook::worksheetName(i)   9 Application::quit()
//
// Every failure raises SpreadsheetError with a positive number and a
// description for the user.
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

// The file format of SaveAs that writes the active worksheet as text.
inline constexpr int xlCurrentPlatformText = -4158;

// How far saveAs is through the active worksheet: the rows read so far of
// the rows the worksheet records (0 when it records none).
using SheetProgress = std::function<void(std::uint64_t rowsRead, std::uint64_t rows)>;

class Workbook {
 public:
  virtual ~Workbook() = default;
  virtual int worksheetCount() = 0;                  // step 4
  virtual std::string worksheetName(int index) = 0;  // step 5, 1-based
  virtual void selectSheet(int index) = 0;           // step 6, 1-based
  // Step 7: writes the active worksheet to `path` (kStandardOutput:
  // standard output), replacing an existing file, as `text` says. Returns
  // the size of what was written. Once `stop` is requested it may break
  // off, leaving no file, and raise StopRequested.
  virtual SheetStats saveAs(const std::string& path, int fileFormat, std::stop_token stop = {},
                            const TextOptions& text = {}) = 0;
  virtual void close() = 0;  // step 8
  // Called from inside saveAs while it reads; an application that cannot
  // tell never calls it.
  virtual void setProgress(SheetProgress progress) { (void)progress; }
};

class Application {
 public:
  virtual ~Application() = default;
  // Step 2. The workbook lives until close() or the application's end.
  virtual Workbook& open(const std::string& path) = 0;
  virtual void setDisplayAlerts(bool on) = 0;  // step 3
  virtual void quit() = 0;                     // step 9
};

// Step 1: a new application object of our own component.
std::unique_ptr<Application> createApplication(const OpenOptions& options = {});

// How the engine obtains applications; tests put a scripted one in its place.
using ApplicationFactory = std::function<std::unique_ptr<Application>()>;

}  // namespace quorvel::spreadsheet
