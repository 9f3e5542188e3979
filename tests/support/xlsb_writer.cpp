#include "tests/support/xlsb_writer.h"

#include <zip.h>

#include <cstring>
#include <stdexcept>

#include "engine/spreadsheet/xlsb/record_types.h"

namespace quorvel::test::xlsb {

using namespace spreadsheet::xlsb;

namespace {

constexpr std::uint16_t kBrtBeginSheet = 0x0081, kBrtEndSheet = 0x0082;
constexpr std::uint16_t kBrtBeginBook = 0x0083, kBrtEndBook = 0x0084;
constexpr std::uint16_t kBrtBeginBundleShs = 0x008F, kBrtEndBundleShs = 0x0090;
constexpr std::uint16_t kBrtEndSst = 0x00A0;
constexpr std::uint16_t kBrtBeginStyleSheet = 0x0116, kBrtEndStyleSheet = 0x0117;
constexpr std::uint16_t kBrtBeginFmts = 0x0267, kBrtEndFmts = 0x0268;
constexpr std::uint16_t kBrtBeginCellStyleXFs = 0x0272, kBrtEndCellStyleXFs = 0x0273;
constexpr std::uint16_t kBrtBeginColInfos = 0x0186, kBrtEndColInfos = 0x0187;

std::vector<std::uint16_t> utf16(std::string_view s) {
  std::vector<std::uint16_t> out;
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp;
    int n;
    if (c < 0x80)
      cp = c, n = 1;
    else if (c < 0xE0)
      cp = c & 0x1F, n = 2;
    else if (c < 0xF0)
      cp = c & 0x0F, n = 3;
    else
      cp = c & 0x07, n = 4;
    for (int k = 1; k < n && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<std::uint16_t>(cp));
    }
  }
  return out;
}

std::string xfPayload(const CellStyle& style) {
  // ixfeParent, iFmt, iFont, iFill, ixBorder, trot, indent, flags, xfGrbitAtr.
  return Payload()
      .u16(0xFFFF)
      .u16(style.format)
      .u16(0)
      .u16(style.fill)
      .u16(style.border)
      .u8(0)
      .u8(0)
      .u16(0)
      .u16(0)
      .str();
}

// A BrtFill of pattern `fls` (0 none, 1 solid, 0x11 gray125, 0x28 a
// gradient of no stops).
std::string fillPayload(std::uint32_t fls) {
  Payload p;
  p.u32(fls);
  for (int i = 0; i < 64; ++i) p.u8(0);  // colours, gradient fields, no stops
  return p.str();
}

// A BrtBorder with every side of line style `dg` and no diagonal.
std::string borderPayload(std::uint8_t dg) {
  Payload p;
  p.u8(0);
  for (int side = 0; side < 5; ++side) {
    p.u8(side < 4 ? dg : 0).u8(0);
    for (int i = 0; i < 8; ++i) p.u8(0);  // colour
  }
  return p.str();
}

}  // namespace

std::string recordHeader(std::uint16_t type, std::uint32_t size) {
  std::string h;
  if (type < 0x80) {
    h += static_cast<char>(type);
  } else {
    h += static_cast<char>((type & 0x7F) | 0x80);
    h += static_cast<char>(type >> 7);
  }
  do {
    unsigned char b = size & 0x7F;
    size >>= 7;
    if (size) b |= 0x80;
    h += static_cast<char>(b);
  } while (size);
  return h;
}

void appendRecord(std::string& out, std::uint16_t type, std::string_view payload) {
  out += recordHeader(type, static_cast<std::uint32_t>(payload.size()));
  out += payload;
}

Payload& Payload::u8(std::uint8_t v) {
  bytes_ += static_cast<char>(v);
  return *this;
}
Payload& Payload::u16(std::uint16_t v) {
  return u8(v & 0xFF).u8(v >> 8);
}
Payload& Payload::u24(std::uint32_t v) {
  return u16(v & 0xFFFF).u8((v >> 16) & 0xFF);
}
Payload& Payload::u32(std::uint32_t v) {
  return u16(v & 0xFFFF).u16(v >> 16);
}
Payload& Payload::f64(double v) {
  char b[8];
  std::memcpy(b, &v, 8);
  bytes_.append(b, 8);
  return *this;
}
Payload& Payload::wide(std::string_view utf8) {
  return wideUnits(utf16(utf8));
}
Payload& Payload::wideUnits(const std::vector<std::uint16_t>& units) {
  u32(static_cast<std::uint32_t>(units.size()));
  for (std::uint16_t u : units) u16(u);
  return *this;
}
Payload& Payload::bytes(std::string_view raw) {
  bytes_ += raw;
  return *this;
}

SheetWriter::SheetWriter(std::string_view beforeData) {
  appendRecord(bytes_, kBrtBeginSheet, "");
  bytes_ += beforeData;
  appendRecord(bytes_, BrtBeginSheetData, "");
}

void SheetWriter::row(std::uint32_t row) {
  this->row(row, 300, 0);
}

void SheetWriter::row(std::uint32_t row, std::uint16_t heightTwips, std::uint8_t flags,
                      std::uint32_t style) {
  // rw, ixfe, miyRw, fExtraAsc/fExtraDsc, the flags byte, fPhShow, ccolspan.
  appendRecord(bytes_, BrtRowHdr,
               Payload().u32(row).u32(style).u16(heightTwips).u8(0).u8(flags).u8(0).u32(0));
}

std::string dimensionRecord(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t firstCol,
                            std::uint32_t lastCol) {
  std::string out;
  appendRecord(out, BrtWsDim, Payload().u32(firstRow).u32(lastRow).u32(firstCol).u32(lastCol));
  return out;
}

std::string formatInfoRecord(std::uint16_t defaultRowHeightTwips) {
  std::string out;
  // dxGCol (none), cchDefColWidth, miyDefRwHeight, flags, outline levels.
  appendRecord(out, BrtWsFmtInfo,
               Payload().u32(0xFFFFFFFF).u16(8).u16(defaultRowHeightTwips).u16(0).u8(0).u8(0));
  return out;
}

std::string columnsRecord(std::uint32_t first, std::uint32_t last, std::uint32_t style,
                          bool hidden) {
  std::string out;
  appendRecord(out, kBrtBeginColInfos, Payload().u32(1));
  appendRecord(out, BrtColInfo,
               Payload().u32(first).u32(last).u32(2560).u32(style).u16(hidden ? 1 : 0));
  appendRecord(out, kBrtEndColInfos, "");
  return out;
}

void SheetWriter::cell(std::uint16_t type, std::uint32_t col, std::uint32_t style,
                       std::string_view value) {
  appendRecord(bytes_, type, Payload().u32(col).u24(style).u8(0).bytes(value));
}

void SheetWriter::shortCell(std::uint16_t type, std::uint32_t style, std::string_view value) {
  appendRecord(bytes_, type, Payload().u24(style).u8(0).bytes(value));
}

void SheetWriter::number(std::uint32_t col, double v, std::uint32_t style) {
  cell(BrtCellReal, col, style, Payload().f64(v));
}

void SheetWriter::sharedString(std::uint32_t col, std::uint32_t index, std::uint32_t style) {
  cell(BrtCellIsst, col, style, Payload().u32(index));
}

void SheetWriter::boolean(std::uint32_t col, bool v, std::uint32_t style) {
  cell(BrtCellBool, col, style, Payload().u8(v ? 1 : 0));
}

std::string SheetWriter::finish() {
  appendRecord(bytes_, BrtEndSheetData, "");
  appendRecord(bytes_, kBrtEndSheet, "");
  return std::move(bytes_);
}

std::uint32_t WorkbookWriter::addSharedString(std::string utf8) {
  return addSharedStringRecord(Payload().u8(0).wide(utf8).str());
}

std::uint32_t WorkbookWriter::addSharedStringRecord(std::string payload) {
  sstItems_.push_back(std::move(payload));
  return static_cast<std::uint32_t>(sstItems_.size() - 1);
}

std::string WorkbookWriter::workbookPart() const {
  std::string out;
  appendRecord(out, kBrtBeginBook, "");
  appendRecord(out, BrtWbProp, Payload().u32(date1904_ ? 1 : 0).u32(0).wide(""));
  appendRecord(out, kBrtBeginBundleShs, "");
  for (std::size_t i = 0; i < sheets_.size(); ++i)
    appendRecord(out, BrtBundleSh,
                 Payload()
                     .u32(sheets_[i].state)
                     .u32(static_cast<std::uint32_t>(i + 1))
                     .wide("rId" + std::to_string(i + 1))
                     .wide(sheets_[i].name));
  appendRecord(out, kBrtEndBundleShs, "");
  appendRecord(out, kBrtEndBook, "");
  return out;
}

std::string WorkbookWriter::stylesPart() const {
  std::string out;
  appendRecord(out, kBrtBeginStyleSheet, "");
  appendRecord(out, kBrtBeginFmts, Payload().u32(static_cast<std::uint32_t>(formats_.size())));
  for (const auto& [id, code] : formats_) appendRecord(out, BrtFmt, Payload().u16(id).wide(code));
  appendRecord(out, kBrtEndFmts, "");
  // A style XF with a date format, which cells never index.
  // Fills: none, gray125 (the two every table starts with), solid, gradient.
  appendRecord(out, BrtBeginFills, Payload().u32(4));
  for (std::uint32_t fls : {0u, 0x11u, 1u, 0x28u}) appendRecord(out, BrtFill, fillPayload(fls));
  appendRecord(out, BrtEndFills, "");
  // Borders: none, thin lines on every side.
  appendRecord(out, BrtBeginBorders, Payload().u32(2));
  appendRecord(out, BrtBorder, borderPayload(0));
  appendRecord(out, BrtBorder, borderPayload(1));
  appendRecord(out, BrtEndBorders, "");
  // A style XF with a date format, a fill and a border, which cells never index.
  appendRecord(out, kBrtBeginCellStyleXFs, Payload().u32(1));
  appendRecord(out, BrtXF, xfPayload({14, 2, 1}));
  appendRecord(out, kBrtEndCellStyleXFs, "");
  appendRecord(out, BrtBeginCellXFs, Payload().u32(static_cast<std::uint32_t>(cellStyles_.size())));
  for (const CellStyle& style : cellStyles_) appendRecord(out, BrtXF, xfPayload(style));
  appendRecord(out, BrtEndCellXFs, "");
  appendRecord(out, kBrtEndStyleSheet, "");
  return out;
}

std::string WorkbookWriter::sharedStringsPart() const {
  std::string out;
  auto n = static_cast<std::uint32_t>(sstItems_.size());
  appendRecord(out, BrtBeginSst, Payload().u32(n).u32(n));
  for (const std::string& item : sstItems_) appendRecord(out, BrtSSTItem, item);
  appendRecord(out, kBrtEndSst, "");
  return out;
}

void WorkbookWriter::save(const std::string& path) const {
  std::vector<std::pair<std::string, std::string>> parts;
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  const std::string relBase =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    std::string folder =
        sheets_[i].relType == "worksheet" ? "worksheets" : sheets_[i].relType + "s";
    std::string target = folder + "/sheet" + std::to_string(i + 1) + ".bin";
    rels += "<Relationship Id=\"rId" + std::to_string(i + 1) + "\" Type=\"" + relBase +
            sheets_[i].relType + "\" Target=\"" + target + "\"/>";
    parts.emplace_back("xl/" + target, sheets_[i].part);
  }
  rels += "<Relationship Id=\"rIdStyles\" Type=\"" + relBase +
          "styles\" Target=\"styles.bin\"/><Relationship Id=\"rIdStrings\" Type=\"" + relBase +
          "sharedStrings\" Target=\"sharedStrings.bin\"/></Relationships>";
  parts.emplace_back("xl/_rels/workbook.bin.rels", rels);
  parts.emplace_back("xl/workbook.bin", workbookPart());
  parts.emplace_back("xl/styles.bin", stylesPart());
  parts.emplace_back("xl/sharedStrings.bin", sharedStringsPart());
  parts.emplace_back(
      "_rels/.rels",
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
          relBase + "officeDocument\" Target=\"xl/workbook.bin\"/></Relationships>");
  parts.emplace_back(
      "[Content_Types].xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"bin\" "
      "ContentType=\"application/vnd.ms-excel.sheet.binary.macroEnabled.main\"/>"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "</Types>");

  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, bytes] : parts) {
    zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
      if (src) zip_source_free(src);
      zip_discard(z);
      throw std::runtime_error("cannot add " + name + " to " + path);
    }
  }
  if (zip_close(z) != 0) {
    zip_discard(z);
    throw std::runtime_error("cannot write " + path);
  }
}

std::uint32_t rkInteger(std::int32_t v, bool times100) {
  return (static_cast<std::uint32_t>(v) << 2) | 0x2 | (times100 ? 0x1 : 0);
}

std::uint32_t rkDouble(double v, bool times100) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return (static_cast<std::uint32_t>(bits >> 32) & 0xFFFFFFFCu) | (times100 ? 0x1 : 0);
}

}  // namespace quorvel::test::xlsb
