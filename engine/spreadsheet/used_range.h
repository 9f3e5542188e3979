#pragma once
// The rows and columns that belong to a worksheet's used range without a
// stored cell in them, decided alike for every format: each reader hands over
// what its row and column records say, and the rules live here.
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

// Whether a format code is "General", in any letter case.
bool isGeneralFormatCode(std::string_view code);

// The number format ids that show as General: id 0, unless the workbook
// gives it another code, and the ids the workbook defines as "General".
class GeneralFormatIds {
 public:
  void define(std::uint32_t id, std::string_view code);
  bool isGeneral(std::uint32_t id) const { return ids_.count(id) != 0; }

 private:
  std::set<std::uint32_t> ids_{0};
};

// Which cell styles show something in an empty cell: a number format other
// than General, a fill, or a border. A font, an alignment or a protection
// alone shows nothing there.
class EmptyCellLooks {
 public:
  void add(bool shows) { byStyle_.push_back(shows); }
  // False for a style past the table (the default style shows nothing).
  bool shows(std::uint32_t style) const { return style < byStyle_.size() && byStyle_[style]; }
  std::size_t size() const { return byStyle_.size(); }

 private:
  std::vector<bool> byStyle_;
};

// What a row record says about its row.
struct StoredRow {
  bool hidden = false;
  bool customHeight = false;  // marked as set by hand, whatever its height
  bool ownFormat = false;
  std::optional<std::uint32_t> heightTwips;  // none when marked as the default height
};

class FormattedLineTracker {
 public:
  // `lastColumn`: the format's last column (255 in .xls, 16383 otherwise).
  explicit FormattedLineTracker(std::uint32_t lastColumn) : lastColumn_(lastColumn) {}

  // The sheet's default row height; until it is known, a row's height alone
  // does not put it in the range.
  void setDefaultRowHeight(std::uint32_t twips) { defaultHeight_ = twips; }
  void addRow(std::uint32_t row, const StoredRow& stored);
  // A column record for columns first to last (clamped to the last column).
  void addColumns(std::uint32_t first, std::uint32_t last, bool hidden, std::uint32_t style,
                  bool formatShows);
  // The rows and columns so far. A run of alike column records that reaches
  // the last column describes the rest of the sheet, not used columns: it is
  // left out.
  FormattedLines lines() const;

 private:
  struct ColumnRun {
    std::uint32_t first = 0, last = 0, style = 0;
    bool hidden = false;
  };
  void closeRun(FormattedLines& into) const;
  std::uint32_t lastColumn_;
  std::optional<std::uint32_t> defaultHeight_;
  FormattedLines lines_;              // rows, and the columns before the open run
  std::optional<ColumnRun> openRun_;  // the latest run of counting columns
};

}  // namespace quorvel::spreadsheet
