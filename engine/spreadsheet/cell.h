#pragma once
// One stored cell as a reader yields it.
#include <cstdint>
#include <string_view>

namespace quorvel::spreadsheet {

enum class CellKind : std::uint8_t {
  Blank,    // stored without a value (formatting only): counts for the used range
  Number,   // numbers and dates (a date is a serial number)
  Text,     // shared, inline or rich text, and string formula results
  Boolean,  // number is 0 or 1
  Error,    // text holds the error's displayed form, e.g. "#DIV/0!"
  // text holds the cell's whole field, formatted and quoted as the text
  // writer writes it: cells a reader formatted ahead, on several threads.
  // It may hold the fields of several cells of the row, from `col` to
  // `lastCol`, joined by the writer's separator (one more for each column
  // between two of them); none of those fields is empty.
  Field,
};

struct Cell {
  std::uint32_t row = 0;  // 0-based
  std::uint32_t col = 0;  // 0-based
  CellKind kind = CellKind::Blank;
  std::uint32_t style = 0;  // index into the workbook's cell formats (XF)
  double number = 0;        // Number, Boolean
  std::string_view text;    // Text, Error: valid until the cursor moves on
  // Number: the value exactly as the General format displays it, when the
  // reader has that text at hand and the cell's style shows General (the
  // writer then skips formatting); empty otherwise. Valid like `text`.
  std::string_view generalText;
  // Field: the column of the last field that `text` holds; `col` or less
  // when it holds one.
  std::uint32_t lastCol = 0;
};

// The displayed text of an error code as stored in BIFF/XLSB (0x00 #NULL!,
// 0x07 #DIV/0!, ...); an empty view for an unknown code.
std::string_view errorCodeText(std::uint8_t code);

}  // namespace quorvel::spreadsheet
