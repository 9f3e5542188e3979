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

EmptyCellLooks readStylesPart(SequentialSource& source, const std::string& partName,
                              CellFormatter& formatter) {
  RecordReader reader(source, partName);
  std::vector<std::uint32_t> formatIdByStyle;
  struct StyleIds {
    std::uint32_t format, fill, border;
  };
  std::vector<StyleIds> styles;
  std::vector<bool> fillShows, borderShows;
  GeneralFormatIds generalIds;
  bool inCellXfs = false, inFills = false, inBorders = false;
  std::string code;
  while (reader.next()) {
    switch (reader.type()) {
      case BrtFmt: {
        RecordFields f(reader.payload(), reader.type(), partName);
        std::uint16_t id = f.u16();
        code.clear();
        f.wideString(code);
        generalIds.define(id, code);
        formatter.defineFormat(id, code);
        break;
      }
      case BrtBeginCellXFs:
      case BrtEndCellXFs:
        inCellXfs = reader.type() == BrtBeginCellXFs;
        break;
      case BrtBeginFills:
      case BrtEndFills:
        inFills = reader.type() == BrtBeginFills;
        break;
      case BrtBeginBorders:
      case BrtEndBorders:
        inBorders = reader.type() == BrtBeginBorders;
        break;
      case BrtFill:
        if (inFills) {
          // fls: 0 none, 0x11 gray125 (which cells show as no fill), patterns, 0x28 gradient.
          RecordFields f(reader.payload(), reader.type(), partName);
          std::uint32_t pattern = f.remaining() >= 4 ? f.u32() : 0;
          fillShows.push_back(pattern != 0 && pattern != 0x11);
        }
        break;
      case BrtBorder:
        if (inBorders) {
          // Flags (the diagonals drawn), then top, bottom, left, right and
          // diagonal lines of ten bytes each, led by their style. A record cut short loses only the
          // lines it lacks.
          RecordFields f(reader.payload(), reader.type(), partName);
          std::uint8_t diagonals = f.remaining() > 0 ? f.u8() & 0x3 : 0;
          bool shows = false;
          for (int side = 0; side < 5 && f.remaining() >= 10; ++side) {
            std::uint8_t style = f.u8();
            f.skip(9);
            shows |= style != 0 && (side < 4 || diagonals != 0);
          }
          borderShows.push_back(shows);
        }
        break;
      case BrtXF:
        if (inCellXfs) {
          RecordFields f(reader.payload(), reader.type(), partName);
          f.u16();  // ixfeParent
          StyleIds ids{f.u16(), 0, 0};
          if (f.remaining() >= 6) {  // older writers may stop after the format
            f.u16();                 // iFont
            ids.fill = f.u16();
            ids.border = f.u16();
          }
          formatIdByStyle.push_back(ids.format);
          styles.push_back(ids);
        }
        break;
      default:
        break;
    }
  }
  formatter.setStyleFormats(std::move(formatIdByStyle));
  auto shown = [](const std::vector<bool>& table, std::uint32_t i) {
    return i < table.size() && table[i];
  };
  EmptyCellLooks looks;
  for (const StyleIds& s : styles)
    looks.add(!generalIds.isGeneral(s.format) || shown(fillShows, s.fill) ||
              shown(borderShows, s.border));
  return looks;
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
