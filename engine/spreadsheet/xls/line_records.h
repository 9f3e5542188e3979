#pragma once
// The records of a BIFF sheet that put rows and columns in the used range
// (ROW, DEFAULTROWHEIGHT, COLINFO, BIFF2's COLUMNDEFAULT), and what a cell
// style (XF) shows in an empty cell, in each BIFF version's layout.
#include <cstdint>
#include <optional>

#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/xls/biff_stream.h"

namespace quorvel::spreadsheet::xls {

// The parts of an XF record that show in an empty cell.
struct XfLook {
  std::uint32_t format = 0;  // number format id
  bool fill = false;         // a fill pattern
  bool border = false;       // a line on any side, or a diagonal
};

// Reads an XF record of any version (XF, XF4, XF3, XF2); none for another
// record or one cut short.
std::optional<XfLook> readXfLook(const BiffRecord& record, int biffVersion);

// What a sheet's line records need from the workbook.
struct LineContext {
  int biffVersion = 8;
  const EmptyCellLooks* looks = nullptr;             // by XF index
  const GeneralFormatIds* generalFormats = nullptr;  // for BIFF2's own cell attributes
};

// Hands a ROW, DEFAULTROWHEIGHT, COLINFO or COLUMNDEFAULT record to `lines`;
// false, having done nothing, for any other record. A record cut short says
// nothing about its lines.
bool readLineRecord(const BiffRecord& record, const LineContext& context,
                    FormattedLineTracker& lines);

}  // namespace quorvel::spreadsheet::xls
