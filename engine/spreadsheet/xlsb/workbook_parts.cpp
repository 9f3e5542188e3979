#include "engine/spreadsheet/xlsb/workbook_parts.h"

#include <algorithm>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/xlsb/record_fields.h"
#include "engine/spreadsheet/xlsb/record_types.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

// Fills `sheet` from a BrtBundleSh whose state field takes `stateBytes`;
// false unless the fields fill the record exactly.
bool parseBundleSheet(std::string_view payload, const std::string& partName, std::size_t stateBytes,
                      BundleSheet& sheet) {
  RecordFields f(payload, BrtBundleSh, partName);
  std::uint32_t state = f.u32();
  f.skip(stateBytes - 4);
  sheet.visibility = state == 1   ? SheetVisibility::Hidden
                     : state == 2 ? SheetVisibility::VeryHidden
                                  : SheetVisibility::Visible;
  f.u32();  // iTabID
  f.nullableWideString(sheet.relId);
  f.wideString(sheet.name);
  return f.remaining() == 0;
}

BundleSheet readBundleSheet(std::string_view payload, const std::string& partName) {
  BundleSheet sheet;
  try {
    if (parseBundleSheet(payload, partName, 4, sheet)) return sheet;
  } catch (const FormatError&) {
  }
  // Early Excel 2007 files store the state in eight bytes.
  BundleSheet early;
  try {
    if (parseBundleSheet(payload, partName, 8, early)) return early;
  } catch (const FormatError&) {
  }
  // Neither fits exactly: the usual layout, trailing bytes aside, or its error.
  sheet = {};
  parseBundleSheet(payload, partName, 4, sheet);
  return sheet;
}

}  // namespace

WorkbookProperties readWorkbookPart(SequentialSource& source, const std::string& partName) {
  WorkbookProperties props;
  RecordReader reader(source, partName);
  while (reader.next()) {
    switch (reader.type()) {
      case BrtWbProp: {
        RecordFields f(reader.payload(), reader.type(), partName);
        props.date1904 = (f.u32() & 1) != 0;
        break;
      }
      case BrtBundleSh:
        props.sheets.push_back(readBundleSheet(reader.payload(), partName));
        break;
      default:
        break;
    }
  }
  return props;
}

void readStylesPart(SequentialSource& source, const std::string& partName,
                    CellFormatter& formatter) {
  RecordReader reader(source, partName);
  std::vector<std::uint32_t> formatIdByStyle;
  bool inCellXfs = false;
  std::string code;
  while (reader.next()) {
    switch (reader.type()) {
      case BrtFmt: {
        RecordFields f(reader.payload(), reader.type(), partName);
        std::uint16_t id = f.u16();
        code.clear();
        f.wideString(code);
        formatter.defineFormat(id, code);
        break;
      }
      case BrtBeginCellXFs:
        inCellXfs = true;
        break;
      case BrtEndCellXFs:
        inCellXfs = false;
        break;
      case BrtXF:
        if (inCellXfs) {
          RecordFields f(reader.payload(), reader.type(), partName);
          f.u16();  // ixfeParent
          formatIdByStyle.push_back(f.u16());
        }
        break;
      default:
        break;
    }
  }
  formatter.setStyleFormats(std::move(formatIdByStyle));
}

void readSharedStrings(SequentialSource& source, const std::string& partName, StringTable& table) {
  RecordReader reader(source, partName);
  std::string text;
  while (reader.next()) {
    if (reader.type() != BrtSSTItem) continue;
    RecordFields f(reader.payload(), reader.type(), partName);
    text.clear();
    f.richString(text);
    table.append(text);
  }
  table.shrinkToFit();
}

}  // namespace quorvel::spreadsheet::xlsb
