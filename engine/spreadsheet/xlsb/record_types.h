#pragma once
// The record numbers of [MS-XLSB] that the reader looks at, by their names
// there. Everything else in a part is skipped unread.
#include <cstdint>

namespace quorvel::spreadsheet::xlsb {

enum RecordType : std::uint16_t {
  // Worksheet part: rows and cells.
  BrtRowHdr = 0x0000,
  BrtCellBlank = 0x0001,
  BrtCellRk = 0x0002,
  BrtCellError = 0x0003,
  BrtCellBool = 0x0004,
  BrtCellReal = 0x0005,
  BrtCellSt = 0x0006,
  BrtCellIsst = 0x0007,
  BrtFmlaString = 0x0008,
  BrtFmlaNum = 0x0009,
  BrtFmlaBool = 0x000A,
  BrtFmlaError = 0x000B,
  // The short forms carry no column: the cell sits right of the previous one.
  BrtShortBlank = 0x000C,
  BrtShortRk = 0x000D,
  BrtShortError = 0x000E,
  BrtShortBool = 0x000F,
  BrtShortReal = 0x0010,
  BrtShortSt = 0x0011,
  BrtShortIsst = 0x0012,
  BrtCellRString = 0x003E,
  BrtBeginSheetData = 0x0091,
  BrtEndSheetData = 0x0092,
  // Worksheet part: what puts rows and columns in the used range.
  BrtColInfo = 0x003C,
  BrtWsDim = 0x0094,
  BrtWsFmtInfo = 0x01E5,

  // Shared strings part.
  BrtSSTItem = 0x0013,
  BrtBeginSst = 0x009F,

  // Workbook part.
  BrtWbProp = 0x0099,
  BrtBundleSh = 0x009C,

  // Styles part.
  BrtFmt = 0x002C,
  BrtFill = 0x002D,
  BrtBorder = 0x002E,
  BrtXF = 0x002F,
  BrtBeginFills = 0x025B,
  BrtEndFills = 0x025C,
  BrtBeginBorders = 0x0265,
  BrtEndBorders = 0x0266,
  BrtBeginCellXFs = 0x0269,
  BrtEndCellXFs = 0x026A,
};

}  // namespace quorvel::spreadsheet::xlsb
