#pragma once
// One workbook written as text files, one per chosen worksheet, into a
// folder that exists.
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/outcome.h"
#include "engine/output_naming.h"
#include "engine/sheet_selection.h"
#include "engine/spreadsheet/automation.h"

namespace quorvel {

// What becomes of one worksheet.
struct WorksheetChoice {
  bool write = true;
  std::optional<std::string> label;  // the name to write it under; none: its own name
};

// The worksheets of a workbook to write. Worksheet i (1-based) follows
// sheets[i - 1]; worksheets past the end are written under their own
// names, so the empty default writes every worksheet. When `only` chooses
// some, the others are not written, and a workbook that lacks a chosen one
// fails, naming it, before anything is written.
struct WorksheetChoices {
  std::vector<WorksheetChoice> sheets;
  SheetSelection only;
  WorksheetChoice at(int index) const;
};

// A workbook to convert.
struct WorkbookJob {
  std::string path;  // "" or a path that names no file: Outcome::NoWorkbook
  // The workbook's name as listed, such as "Sales.2024.xlsx": file names
  // (and in a run the folder's name) are made from it.
  std::string name;
  WorksheetChoices choices;
};

// A worksheet written.
struct WrittenSheet {
  int index = 0;           // 1-based worksheet position
  std::string name;        // the worksheet's name, or the label it was written under
  std::string outputFile;  // full path of the text file, or kStandardOutput
  std::uint32_t rows = 0;
  std::uint32_t columns = 0;
};

struct WorkbookConversion {
  Outcome outcome = Outcome::Done;
  // In worksheet order; after a failure or a stop, those written before it.
  std::vector<WrittenSheet> sheets;
  std::optional<Failure> failure;  // with Failed (and FolderNotCreated in a run)
};

// The work of one worksheet in ConversionProgress's amounts.
inline constexpr std::uint64_t kWorkPerWorksheet = 1000;

// How far the work is, reported after a workbook is opened, after each of
// its worksheets and, with our own component, while a worksheet is read.
// The amounts give every worksheet kWorkPerWorksheet, shared out over its
// rows as they are read.
struct ConversionProgress {
  std::size_t job = 0;   // in a run: the workbook's position in the job list, from 0
  std::size_t jobs = 1;  // in a run: the number of jobs
  std::string workbook;  // its path
  // 1-based worksheet just done, or (while `writing`) being written; 0
  // right after opening.
  int worksheet = 0;
  int worksheets = 0;         // worksheets in the workbook
  std::string worksheetName;  // "" for a skipped worksheet and right after opening
  bool writing = false;       // reported from inside the worksheet's writing
  std::uint64_t done = 0;     // work done in this workbook
  std::uint64_t total = 0;    // work in this workbook
};
using ProgressCallback = std::function<void(const ConversionProgress&)>;

// What a conversion may be given besides the workbook; all optional.
struct ConversionContext {
  spreadsheet::ApplicationFactory application;  // empty: our own component
  ProgressCallback progress;
  // Looked at between worksheets and, by our own component, while a
  // worksheet is written: a stop breaks off the worksheet, whose file is
  // then not written at all.
  std::stop_token stop;
  // Separator, values and size limit of the text; its files end in ".csv"
  // when the separator is a comma.
  spreadsheet::TextOptions text;
};

// Converts `job` into `folder`, naming each file with `names` by `naming`
// (the numbering of NamingOption::Number starts again after a converted
// workbook and goes on after one that failed). A failure or a stop closes
// the workbook; the files written before it stay, each one complete. A
// `folder` of spreadsheet::kStandardOutput sends each chosen worksheet's
// text to standard output instead, whole, one after the other.
WorkbookConversion convertWorkbook(const WorkbookJob& job, const std::string& folder,
                                   NamingOption naming, OutputFileNames& names,
                                   const ConversionContext& context = {});

}  // namespace quorvel
