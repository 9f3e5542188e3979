#pragma once
// Writes .xlsb records and whole .xlsb packages, for the reader's tests and
// the benchmark's workbooks. Only what a reader of values needs is written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::test::xlsb {

// A record header: the type in one or two bytes and the size in one to four,
// seven bits each.
std::string recordHeader(std::uint16_t type, std::uint32_t size);
void appendRecord(std::string& out, std::uint16_t type, std::string_view payload);

// Little-endian payload fields.
class Payload {
 public:
  Payload& u8(std::uint8_t v);
  Payload& u16(std::uint16_t v);
  Payload& u24(std::uint32_t v);
  Payload& u32(std::uint32_t v);
  Payload& f64(double v);
  // An XLWideString from UTF-8 text.
  Payload& wide(std::string_view utf8);
  // An XLWideString of raw UTF-16 code units (for unpaired surrogates).
  Payload& wideUnits(const std::vector<std::uint16_t>& units);
  Payload& bytes(std::string_view raw);
  const std::string& str() const { return bytes_; }
  operator std::string_view() const { return bytes_; }

 private:
  std::string bytes_;
};

// The cell records of a worksheet part, between BrtBeginSheetData and
// BrtEndSheetData.
class SheetWriter {
 public:
  // `beforeData`: records between BrtBeginSheet and BrtBeginSheetData (see
  // the sheet property records below).
  explicit SheetWriter(std::string_view beforeData = {});
  void row(std::uint32_t row);
  // A row with its height in twips and flags (0x10 hidden, 0x20 height set
  // by hand, 0x40 a format of its own).
  void row(std::uint32_t row, std::uint16_t heightTwips, std::uint8_t flags,
           std::uint32_t style = 0);
  // A cell record with a column (type 1 to 11, 62) or without one (12 to 18);
  // `value` is what follows the cell header.
  void cell(std::uint16_t type, std::uint32_t col, std::uint32_t style, std::string_view value);
  void shortCell(std::uint16_t type, std::uint32_t style, std::string_view value);
  void number(std::uint32_t col, double v, std::uint32_t style = 0);  // BrtCellReal
  void sharedString(std::uint32_t col, std::uint32_t index, std::uint32_t style = 0);
  void boolean(std::uint32_t col, bool v, std::uint32_t style = 0);
  void raw(std::uint16_t type, std::string_view payload) { appendRecord(bytes_, type, payload); }
  // Closes the sheet data and returns the part.
  std::string finish();
  std::size_t size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

// Sheet property records, for SheetWriter's `beforeData`.
std::string dimensionRecord(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t firstCol,
                            std::uint32_t lastCol);
std::string formatInfoRecord(std::uint16_t defaultRowHeightTwips);
// Columns first to last (0-based), in a BrtBeginColInfos block of one.
std::string columnsRecord(std::uint32_t first, std::uint32_t last, std::uint32_t style,
                          bool hidden = false);

// A cell style: a number format, a fill of the styles part's four (0 none,
// 1 gray125, 2 solid, 3 gradient) and a border of its two (0 none, 1 thin
// lines on every side).
struct CellStyle {
  std::uint16_t format = 0;
  std::uint16_t fill = 0;
  std::uint16_t border = 0;
};

struct SheetEntry {
  std::string name;
  std::uint32_t state = 0;            // 0 visible, 1 hidden, 2 very hidden
  std::string relType = "worksheet";  // or chartsheet, dialogsheet, ...
  std::string part;                   // the part's bytes
};

// A whole workbook package.
class WorkbookWriter {
 public:
  void addSheet(SheetEntry sheet) { sheets_.push_back(std::move(sheet)); }
  void setDate1904(bool on) { date1904_ = on; }
  void defineFormat(std::uint16_t id, std::string code) {
    formats_.emplace_back(id, std::move(code));
  }
  // The number format id of each cell style, in order.
  void setCellStyles(const std::vector<std::uint16_t>& formatIds) {
    cellStyles_.clear();
    for (std::uint16_t id : formatIds) cellStyles_.push_back({id});
  }
  void setCellStyles(std::vector<CellStyle> styles) { cellStyles_ = std::move(styles); }
  // Returns the new string's index.
  std::uint32_t addSharedString(std::string utf8);
  // A shared string given as a whole BrtSSTItem payload (rich or phonetic).
  std::uint32_t addSharedStringRecord(std::string payload);

  std::string workbookPart() const;
  std::string stylesPart() const;
  std::string sharedStringsPart() const;
  // Writes the package; throws std::runtime_error on failure.
  void save(const std::string& path) const;

 private:
  std::vector<SheetEntry> sheets_;
  bool date1904_ = false;
  std::vector<std::pair<std::uint16_t, std::string>> formats_;
  std::vector<CellStyle> cellStyles_{CellStyle{}};
  std::vector<std::string> sstItems_;
};

// An RkNumber for an integer that fits in 30 bits.
std::uint32_t rkInteger(std::int32_t v, bool times100 = false);
// An RkNumber holding the high 30 bits of a double.
std::uint32_t rkDouble(double v, bool times100 = false);

}  // namespace quorvel::test::xlsb
