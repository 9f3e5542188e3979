#pragma once
// The corpus of real workbooks and the application's own exports of them:
// what MANIFEST.json says, expected exports decoded to cell grids, and a
// cell-by-cell comparison with what we write.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::test {

using Grid = std::vector<std::vector<std::string>>;

struct ExpectedExport {
  std::string file;    // path under the corpus folder
  int sheetIndex = 0;  // position in the application's whole sheet collection
  std::string sheetName;
  std::string encoding;      // "ASCII", "Windows-1252", "UTF-8", "UTF-16LE with BOM"
  bool excel = true;         // false for a library's output kept as a second opinion
  bool finalNewline = true;  // false: the last row ends without a line break
};

struct CorpusWorkbook {
  std::string file;                     // e.g. "xlsx/poi__Booleans.xlsx"
  std::vector<std::string> sheetTypes;  // per sheet in the file: "worksheet", "chart", ...
  std::vector<ExpectedExport> expected;
  std::vector<ExpectedExport> expectedOfOriginal;  // exports of the workbook it was saved from
  std::string encryptionPassword;                  // "" when not encrypted or unknown
  bool encrypted = false;
  bool broken = false;
  std::filesystem::path path() const;
  // The 0-based worksheet position of a sheet of the whole collection, or -1.
  int worksheetOrdinal(int sheetIndex) const;
};

std::vector<CorpusWorkbook> loadCorpusManifest();

// Parses an expected export (CSV or tab-separated, any of the encodings) or
// our own output (UTF-8, tabs) into rows of cell texts.
Grid parseExport(const std::string& bytes, const std::string& encoding, char separator);

struct Agreement {
  std::size_t cells = 0;  // cells non-empty on either side
  std::size_t matching = 0;
  std::vector<std::string> firstMismatches;  // a few, for the report
  double rate() const { return cells ? double(matching) / double(cells) : 1.0; }
  void add(const Agreement& other);
};

// Compares our grid with the expected one. Leading and trailing empty rows and
// columns are trimmed on both sides, so a range that starts elsewhere costs
// nothing here. A character outside Windows-1252 in our text matches the "_"
// or "?" the application wrote for it.
Agreement compareGrids(const Grid& ours, const Grid& expected);
// The same, cell by cell in place: both start at the used range's top-left
// cell, so a range that starts a row or a column off moves every cell.
Agreement compareGridsInPlace(const Grid& ours, const Grid& expected);

// Whether two grids cover the same rows and columns (the rows, and the most
// fields of any row).
bool sameShape(const Grid& ours, const Grid& expected);
// An export whose last row ends without a line break loses that row when it
// is empty and one field wide; this puts it back.
void restoreLastEmptyRow(Grid& grid, const std::string& bytes, const ExpectedExport& e);

}  // namespace quorvel::test
