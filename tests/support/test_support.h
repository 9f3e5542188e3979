#pragma once
// Helpers shared by the tests: temporary folders, whole-file reads, the
// corpus of real workbooks, and an in-memory sheet cursor.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// The corpus folder: tests/corpus unless the build names another.
std::filesystem::path corpusDir();

// A sheet cursor over cells held in memory, for writer tests.
class VectorCursor : public spreadsheet::SheetCursor {
 public:
  struct Stored {
    std::uint32_t row, col;
    spreadsheet::CellKind kind;
    double number;
    std::string text;
    std::uint32_t style = 0;
    std::uint32_t lastCol = 0;  // a run of fields (CellKind::Field)
  };
  explicit VectorCursor(std::vector<Stored> cells, spreadsheet::FormattedLines lines = {})
      : cells_(std::move(cells)), lines_(lines) {}
  bool next(spreadsheet::Cell& cell) override;
  spreadsheet::FormattedLines formattedLines() const override { return lines_; }

 private:
  std::vector<Stored> cells_;
  spreadsheet::FormattedLines lines_;
  std::size_t at_ = 0;
};

}  // namespace quorvel::test
