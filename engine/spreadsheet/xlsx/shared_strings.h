#pragma once
// The sharedStrings part of a SpreadsheetML package.
#include "engine/spreadsheet/string_table.h"

namespace quorvel::spreadsheet {
class PartStream;
}

namespace quorvel::spreadsheet::xlsx {

// Appends the strings of a sharedStrings part to `table`: plain and rich
// text (runs joined), phonetic runs dropped, `_xHHHH_` escapes decoded.
// Throws FormatError.
void readSharedStrings(PartStream& stream, StringTable& table);

}  // namespace quorvel::spreadsheet::xlsx
