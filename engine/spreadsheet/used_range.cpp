#include "engine/spreadsheet/used_range.h"

#include <algorithm>

namespace quorvel::spreadsheet {

bool isGeneralFormatCode(std::string_view code) {
  static const char kGeneral[] = "general";
  if (code.size() != 7) return false;
  for (std::size_t i = 0; i < 7; ++i) {
    char c = code[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kGeneral[i]) return false;
  }
  return true;
}

void GeneralFormatIds::define(std::uint32_t id, std::string_view code) {
  if (isGeneralFormatCode(code))
    ids_.insert(id);
  else
    ids_.erase(id);
}

void FormattedLineTracker::addRow(std::uint32_t row, const StoredRow& stored) {
  bool ownHeight = stored.heightTwips && defaultHeight_ && *stored.heightTwips != *defaultHeight_;
  if (stored.hidden || stored.customHeight || stored.ownFormat || ownHeight)
    lines_.rows.include(row, row);
}

void FormattedLineTracker::addColumns(std::uint32_t first, std::uint32_t last, bool hidden,
                                      std::uint32_t style, bool formatShows) {
  if (first > lastColumn_ || first > last) return;
  last = std::min(last, lastColumn_);
  bool counts = hidden || formatShows;
  if (openRun_ && counts && first == openRun_->last + 1 && style == openRun_->style &&
      hidden == openRun_->hidden) {
    openRun_->last = last;  // one run written in several records
    return;
  }
  closeRun(lines_);
  openRun_.reset();
  if (counts) openRun_ = ColumnRun{first, last, style, hidden};
}

FormattedLines FormattedLineTracker::lines() const {
  FormattedLines out = lines_;
  closeRun(out);
  return out;
}

void FormattedLineTracker::closeRun(FormattedLines& into) const {
  if (openRun_ && openRun_->last < lastColumn_)
    into.columns.include(openRun_->first, openRun_->last);
}

}  // namespace quorvel::spreadsheet
