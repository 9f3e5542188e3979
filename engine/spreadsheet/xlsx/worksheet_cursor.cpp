#include "engine/spreadsheet/xlsx/worksheet_cursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/spreadsheet/byte_search.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"
#include "engine/spreadsheet/xlsx/quick_values.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

using T = XmlScanner::Token;
using namespace quick;

bool isTrue(std::string_view v) {
  v = trimmed(v);
  return v == "1" || v == "true";
}

// A height in points ("15.75"), in twips; none when it is not a height.
std::optional<std::uint32_t> pointsToTwips(std::string_view v) {
  v = trimmed(v);
  double points = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), points);
  if (ec != std::errc() || end != v.data() + v.size() || !(points >= 0) || points > 1e6)
    return std::nullopt;
  return static_cast<std::uint32_t>(std::lround(points * 20));
}

// A table larger than this is looked up at random slower than the rest of
// a cell's work: past a core's second-level cache.
constexpr std::uint64_t kPrefetchTableBytes = std::uint64_t(1) << 20;

// How far ahead the ends, then the texts, of shared strings are fetched: a
// few rows either way, time enough for memory to answer.
constexpr std::uint64_t kFetchEndsBytes = 2048;
constexpr std::uint64_t kFetchTextsBytes = 1024;

[[noreturn]] void needsRowBefore() {
  throw FormatError(ErrorCode::Damaged, "a piece of the sheet counts on the row before it");
}

std::string quoted(std::string_view s) {
  return std::string("'").append(printable(s, kQuotedContentBytes)).append("'");
}

}  // namespace

WorksheetCursor::WorksheetCursor(std::unique_ptr<PartStream> stream, const StringTable& strings,
                                 bool date1904, const GeneralStyles& generalStyles,
                                 const EmptyCellLooks& emptyCellLooks)
    : stream_(std::move(stream)),
      xml_(*stream_),
      strings_(strings),
      date1904_(date1904),
      generalStyles_(generalStyles),
      emptyCellLooks_(emptyCellLooks),
      lines_(kMaxColumns - 1),
      prefetch_(strings.storedBytes() > kPrefetchTableBytes) {}

WorksheetCursor::WorksheetCursor(std::string_view bytes, std::string partName,
                                 const StringTable& strings, bool date1904,
                                 const GeneralStyles& generalStyles,
                                 const EmptyCellLooks& emptyCellLooks, PieceStart start)
    : xml_(bytes, std::move(partName)),
      strings_(strings),
      date1904_(date1904),
      generalStyles_(generalStyles),
      emptyCellLooks_(emptyCellLooks),
      lines_(start.lines ? *start.lines : FormattedLineTracker(kMaxColumns - 1)),
      inSheetData_(start.inCellData),
      piece_(true),
      rowKnown_(start.rowKnown),
      stringsLock_(start.stringsLock),
      deferStrings_(start.deferSharedStrings),
      prefetch_(!start.deferSharedStrings && strings.storedBytes() > kPrefetchTableBytes) {}

WorksheetCursor::~WorksheetCursor() = default;

bool WorksheetCursor::next(Cell& cell) {
  // Most of a sheet is plain cells: the short way first, with little to set up.
  if (inSheetData_ && !done_) {
    if (std::size_t n = plainCell(xml_.window())) {
      xml_.skip(n);
      return finishCell(cell, true);
    }
  }
  return nextOther(cell);
}

bool WorksheetCursor::nextOther(Cell& cell) {
  // next() has just tried these bytes as a plain cell.
  for (bool triedPlain = true; !done_; triedPlain = false) {
    if (inSheetData_) {
      // Rows and cells written plainly are read without a general token.
      const std::string_view window = xml_.window();
      if (std::size_t n = triedPlain ? 0 : plainCell(window)) {
        xml_.skip(n);
        return finishCell(cell, true);
      }
      if (window.size() >= 6 && std::memcmp(window.data(), "</row>", 6) == 0) {
        xml_.skip(6);
        continue;
      }
      if (std::size_t n = plainRow(window)) {
        xml_.skip(n);
        if (prefetch_) prefetchStrings();
        continue;
      }
      if (xml_.plainStartTag("c")) return readCell(cell);
      if (xml_.plainStartTag("row")) {
        startRow();
        if (prefetch_) prefetchStrings();
        continue;
      }
    }
    T token = xml_.next();
    if (token == T::End) {
      if (inSheetData_ && !piece_) xml_.fail("ends before its cell data does");
      done_ = true;
      break;
    }
    if (token == T::EndTag) {
      if (inSheetData_ && xml_.name() == "sheetData")
        done_ = closed_ = true;  // the rest holds no cells
      continue;
    }
    if (token != T::StartTag) continue;
    std::string_view name = xml_.name();
    if (!inSheetData_) {
      if (name == "dimension") readDimension();
      if (name == "sheetFormatPr") readDefaultRowHeight();
      if (name == "col") readColumns();
      if (name == "sheetData") {
        if (xml_.selfClosing())
          done_ = true;
        else
          inSheetData_ = true;
      }
      continue;
    }
    if (name == "row") {
      startRow();
      continue;
    }
    if (name != "c") continue;
    return readCell(cell);
  }
  return false;
}

// A cell written the common way, whole in `bytes`: `<c r="B2" s="1"
// t="s"><v>7</v></c>`, `<c .../>` or `<c ...></c>`, attributes in double
// quotes after single spaces, none prefixed, a value without entities or
// CRs. Reads it as the general path would and returns its length; 0 for
// anything else, having changed nothing.
std::size_t WorksheetCursor::plainCell(std::string_view bytes) {
  const char* const b = bytes.data();
  const char* const e = b + bytes.size();
  if (bytes.size() < 4 || b[0] != '<' || b[1] != 'c') return 0;
  // The r, s and t attributes, read on the way when written the usual way
  // ("B12", "3", "s"); any other way of writing them is the general path's
  // to read or refuse. One written twice counts as written last, there too.
  std::uint32_t row = 0, col = 0, style = 0;
  Type type = Type::Number;
  bool haveRef = false;
  const char* p = b + 2;
  bool selfClosing = false;
  for (;;) {
    // Room for any attribute read below and the bytes looked at after it:
    // no byte is looked at past it without a bound. A cell ending closer
    // to the end of the buffered bytes is read the general way.
    if (e - p < 16) return 0;
    std::uint32_t word;
    std::memcpy(&word, p, 4);
    const char* const v = p + 4;
    const char* q = v;
    if (word == littleEndianWord(" r=\"")) {
      // One to three capital letters, then (nearly always) the row's own
      // number and the closing quote.
      auto letter = [](char c) { return static_cast<std::uint32_t>(c - 'A'); };
      col = 0;
      if (letter(v[0]) < 26) {
        col = letter(v[0]) + 1;
        ++q;
        if (letter(v[1]) < 26) {
          col = col * 26 + letter(v[1]) + 1;
          ++q;
          if (letter(v[2]) < 26) {
            col = col * 26 + letter(v[2]) + 1;
            ++q;
          }
        }
      }
      std::uint64_t ahead;
      if (q > v && col <= kMaxColumns && rowKeyBytes_ != 0 &&
          (std::memcpy(&ahead, q, 8), (ahead & rowKeyMask_) == rowKey_)) {
        row = row_;
        --col;
        q += rowKeyBytes_;
      } else {
        q = findByte(q, e, '"');
        if (!q || !quickReference(std::string_view(v, static_cast<std::size_t>(q - v)), row, col))
          return 0;
      }
      haveRef = true;
    } else if (word == littleEndianWord(" s=\"")) {
      style = 0;
      for (; q - v < 9 && *q >= '0' && *q <= '9'; ++q) style = style * 10 + std::uint32_t(*q - '0');
      if (q == v || *q != '"') return 0;
    } else if (word == littleEndianWord(" t=\"")) {
      if (v[1] != '"' || !letterType(*v, type)) return 0;
      ++q;
    } else if (*p == '>') {
      ++p;
      break;
    } else if (*p == '/') {
      if (p[1] != '>') return 0;
      p += 2;
      selfClosing = true;
      break;
    } else {
      // Another attribute, not the cell's; a prefix, a namespace
      // declaration or anything unusual: the general way.
      if (*p != ' ') return 0;
      const char* name = ++p;
      while (p < e && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) ++p;
      if (p == name || e - p < 2 || p[0] != '=' || p[1] != '"' ||
          (p - name >= 5 && std::string_view(name, 5) == "xmlns"))
        return 0;
      q = findByte(p + 2, e, '"');
      if (!q) return 0;
    }
    p = q + 1;
  }
  std::string_view text;
  bool haveValue = false;
  if (!selfClosing) {
    std::uint32_t word;  // the attributes' room holds these bytes too
    std::memcpy(&word, p, 4);
    if ((word & 0xFFFFFF) == littleEndianWord("<v>")) {
      const char* start = p + 3;
      const char* lt = findByteBefore(start, e, '<', '&', '\r');
      if (!lt) return 0;  // entities or CRs to decode: the general way
      if (e - lt < 8 || std::string_view(lt, 8) != "</v></c>") return 0;
      text = std::string_view(start, static_cast<std::size_t>(lt - start));
      haveValue = true;
      p = lt + 8;
    } else if (word == littleEndianWord("</c>")) {
      p += 4;
    } else {
      return 0;
    }
  }
  if (!rowKnown_) needsRowBefore();
  hasValue_ = haveValue;
  hasInline_ = false;
  type_ = type;
  style_ = style;
  if (haveRef) {
    cellRow_ = row;
    cellCol_ = col;
  }
  placeCell(haveRef);
  valueText_ = text;
  return static_cast<std::size_t>(p - b);
}

bool WorksheetCursor::readCell(Cell& cell) {
  startCell();
  if (!xml_.selfClosing()) {
    if (xml_.plainElement("v", value_)) {
      hasValue_ = true;  // value_ was cleared by startCell
      if (xml_.plainEndTag("c")) {
        valueText_ = value_;
        return finishCell(cell, false);
      }
    }
    for (;;) {
      T t = xml_.next();
      if (t == T::End) xml_.fail("ends inside a cell");
      if (t == T::EndTag) {
        if (xml_.name() == "c") break;
        continue;
      }
      if (t != T::StartTag) continue;  // the text of <f> and the like
      std::string_view inner = xml_.name();
      if (inner == "v") {
        hasValue_ = true;
        value_.clear();
        if (!xml_.selfClosing()) readValueText(value_);
      } else if (inner == "is") {
        hasInline_ = true;
        text_.clear();
        if (!xml_.selfClosing()) readInlineString();
      }
    }
  }
  valueText_ = value_;
  return finishCell(cell, false);
}

void WorksheetCursor::readDimension() {
  std::string_view ref = xml_.attribute("ref");
  std::size_t colon = ref.find(':');
  try {
    CellReference a = parseCellReference(ref.substr(0, colon));
    CellReference b =
        colon == std::string_view::npos ? a : parseCellReference(ref.substr(colon + 1));
    storedRange_ = CellRange{std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
                             std::max(a.col, b.col)};
  } catch (const FormatError&) {
    storedRange_.reset();  // only a hint: a bad one is no hint
  }
}

void WorksheetCursor::readDefaultRowHeight() {
  if (std::optional<std::uint32_t> twips = pointsToTwips(xml_.attribute("defaultRowHeight")))
    lines_.setDefaultRowHeight(*twips);
}

void WorksheetCursor::readColumns() {
  std::uint64_t first = 0, last = 0, style = 0;
  bool hidden = false;
  for (const XmlScanner::Attribute& a : xml_.attributes()) {
    if (a.name == "min") {
      if (!parseUnsigned(a.value, first)) return;
    } else if (a.name == "max") {
      if (!parseUnsigned(a.value, last)) return;
    } else if (a.name == "style") {
      if (!parseUnsigned(a.value, style) || style > UINT32_MAX) return;
    } else if (a.name == "hidden") {
      hidden = isTrue(a.value);
    }
  }
  // A record naming no column, or columns the sheet has not, is no column's.
  if (first == 0 || last < first || first > kMaxColumns) return;
  auto s = static_cast<std::uint32_t>(style);
  lines_.addColumns(static_cast<std::uint32_t>(first - 1),
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(last, kMaxColumns) - 1),
                    hidden, s, emptyCellLooks_.shows(s));
}

void WorksheetCursor::startRow() {
  bool found = false;
  std::string_view r;
  StoredRow stored;
  for (const XmlScanner::Attribute& a : xml_.attributes()) {
    if (a.name == "r") {
      found = true;
      r = a.value;
    } else if (a.name == "ht") {
      stored.heightTwips = pointsToTwips(a.value);
    } else if (a.name == "hidden") {
      stored.hidden = isTrue(a.value);
    } else if (a.name == "customHeight") {
      stored.customHeight = isTrue(a.value);
    } else if (a.name == "customFormat") {
      stored.ownFormat = isTrue(a.value);
    }
  }
  if (found) {
    std::uint64_t n = 0;
    if ((!quickDigits(r, n) && !parseUnsigned(r, n)) || n == 0)
      damaged("the row number " + quoted(r) + " is not a row number");
    if (n > kMaxRows)
      damaged("row " + std::to_string(n) + " lies past the worksheet's last row (" +
              std::to_string(kMaxRows) + ")");
    enterRow(static_cast<std::uint32_t>(n - 1), stored);
  } else {
    if (!rowKnown_) needsRowBefore();
    if (lastRow_ + 1 >= std::int64_t(kMaxRows))
      damaged("its rows run past the worksheet's last row (" + std::to_string(kMaxRows) + ")");
    enterRow(static_cast<std::uint32_t>(lastRow_ + 1), stored);
  }
  // The row's number and a closing quote, as its cells' references end.
  char key[8] = {};
  char* end = std::to_chars(key, key + 7, row_ + 1).ptr;
  *end = '"';
  setRowKey(key, static_cast<std::size_t>(end - key));
}

// A row's start tag written the common way, whole in `bytes`: `<row r="12">`,
// its number plain, other attributes (spans...) only if they say nothing of
// the row. Reads it as startRow would and returns its length; 0 for anything
// else, having changed nothing.
std::size_t WorksheetCursor::plainRow(std::string_view bytes) {
  const char* const b = bytes.data();
  const char* const e = b + bytes.size();
  if (bytes.size() < 9 || std::memcmp(b, "<row ", 5) != 0) return 0;
  auto nameByte = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.';
  };
  const char* p = b + 4;
  const char* number = nullptr;
  std::size_t digits = 0;
  std::uint32_t n = 0;
  for (;;) {
    if (e - p < 2) return 0;
    if (*p == '>') {
      ++p;
      break;
    }
    if (*p != ' ') return 0;
    const char* name = ++p;
    while (p < e && nameByte(*p)) ++p;
    if (p == name || e - p < 2 || p[0] != '=' || p[1] != '"') return 0;
    const std::string_view attr(name, static_cast<std::size_t>(p - name));
    const char* q = p + 2;
    if (attr == "r") {
      if (number) return 0;
      number = q;
      for (; q < e && q - number < 7 && *q >= '0' && *q <= '9'; ++q)
        n = n * 10 + std::uint32_t(*q - '0');
      digits = static_cast<std::size_t>(q - number);
      // No row, or one past the sheet: the general way, which refuses it.
      if (n == 0 || q >= e || *q != '"' || n > kMaxRows) return 0;
    } else {
      // What the row looks like, the row's number with a prefix, or a
      // namespace: the general way.
      const std::string_view local = attr.substr(attr.rfind(':') + 1);
      if (local == "r" || local == "ht" || local == "hidden" || local == "customHeight" ||
          local == "customFormat" || attr.starts_with("xmlns"))
        return 0;
      q = findByte(q, e, '"');
      if (!q) return 0;
    }
    p = q + 1;
  }
  if (!number) return 0;
  enterRow(n - 1, StoredRow{});
  if (e - number >= 8) {
    setRowKey(number, digits);  // the digits and their closing quote
  } else {
    char key[8] = {};
    std::memcpy(key, number, digits + 1);
    setRowKey(key, digits);
  }
  return static_cast<std::size_t>(p - b);
}

void WorksheetCursor::enterRow(std::uint32_t row, const StoredRow& stored) {
  row_ = row;
  lastRow_ = row;
  lastCol_ = -1;
  rowKnown_ = true;
  lines_.addRow(row, stored);
}

void WorksheetCursor::setRowKey(const char* key, std::size_t digits) {
  const std::size_t bytes = digits + 1;
  rowKeyMask_ = bytes == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
  std::memcpy(&rowKey_, key, 8);
  rowKey_ &= rowKeyMask_;
  rowKeyBytes_ = static_cast<std::uint8_t>(digits);
}

void WorksheetCursor::startCell() {
  if (!rowKnown_) needsRowBefore();
  hasValue_ = hasInline_ = false;
  value_.clear();
  type_ = Type::Number;
  style_ = 0;
  bool haveRef = false;
  for (const XmlScanner::Attribute& a : xml_.attributes())
    if (a.name.size() == 1) cellAttribute(a.name[0], a.value, haveRef);  // r, s and t
  placeCell(haveRef);
}

bool WorksheetCursor::letterType(char letter, Type& type) {
  switch (letter) {
    case 's':
      type = Type::Shared;
      return true;
    case 'b':
      type = Type::Boolean;
      return true;
    case 'n':
      type = Type::Number;
      return true;
    case 'e':
      type = Type::Error;
      return true;
    case 'd':
      type = Type::Date;
      return true;
    default:
      return false;
  }
}

// One of the attributes that give a cell's value: r, s and t; the rest do
// not change it.
void WorksheetCursor::cellAttribute(char name, std::string_view value, bool& haveRef) {
  if (name == 'r') {
    if (!quickReference(value, cellRow_, cellCol_)) {
      CellReference ref = parseCellReference(value);
      cellRow_ = ref.row;
      cellCol_ = ref.col;
    }
    haveRef = true;
  } else if (name == 's') {
    std::uint64_t s = 0;
    if (!quickDigits(value, s) && (!parseUnsigned(value, s) || s > UINT32_MAX))
      damaged("the style index " + quoted(value) + " is not a number");
    style_ = static_cast<std::uint32_t>(s);
  } else if (name == 't') {
    std::string_view t = value;
    if (t.size() == 1 && letterType(t[0], type_)) return;  // the usual ones at once
    if (t == "n")
      type_ = Type::Number;
    else if (t == "s")
      type_ = Type::Shared;
    else if (t == "str")
      type_ = Type::FormulaText;
    else if (t == "inlineStr")
      type_ = Type::Inline;
    else if (t == "b")
      type_ = Type::Boolean;
    else if (t == "e")
      type_ = Type::Error;
    else if (t == "d")
      type_ = Type::Date;
    else
      damaged("a cell has the unknown type " + quoted(t));
  }
}

void WorksheetCursor::placeAfterLast() {
  if (lastCol_ + 1 >= std::int64_t(kMaxColumns))
    damaged("the cells of row " + std::to_string(row_ + 1) +
            " run past the worksheet's last column (" + columnName(kMaxColumns - 1) + ")");
  cellRow_ = row_;
  cellCol_ = static_cast<std::uint32_t>(lastCol_ + 1);
}

void WorksheetCursor::prefetchStrings() {
  const std::uint64_t here = xml_.offset();
  // Texts of the strings now near, whose ends were fetched when they were far.
  while (aheadCount_ > 0 && ahead_[aheadFirst_].at < here + kFetchTextsBytes) {
    if (ahead_[aheadFirst_].at >= here) strings_.prefetchText(ahead_[aheadFirst_].index);
    aheadFirst_ = (aheadFirst_ + 1) % kAheadStrings;
    --aheadCount_;
  }
  // Ends of the strings up to kFetchEndsBytes ahead, in the buffered bytes.
  const std::string_view bytes = xml_.buffered();
  std::size_t from = aheadScanned_ > here ? static_cast<std::size_t>(aheadScanned_ - here) : 0;
  const std::size_t to =
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), kFetchEndsBytes));
  while (from < to && aheadCount_ < kAheadStrings) {
    // "s" is rare in cell data but for t="s": looked for sixteen bytes at once.
    const char* quoted = findThreeBytes(bytes.data() + from, bytes.data() + to, '"', 's', '"');
    if (!quoted) {
      from = to >= 2 ? std::max(from, to - 2) : from;  // "s" may straddle the end
      break;
    }
    const std::size_t at = static_cast<std::size_t>(quoted - bytes.data());
    from = at + 3;
    if (at < 2 || bytes[at - 1] != '=' || bytes[at - 2] != 't') continue;
    // The value follows the tag: <c r="A1" t="s"><v>12</v>; anything else
    // is passed over, a hint being all this is.
    std::size_t v = bytes.find("<v>", from);
    if (v == std::string_view::npos || v - from > 64) continue;
    std::uint64_t index = 0;
    std::size_t d = v + 3, digitsEnd = std::min(bytes.size(), d + 10);
    for (; d < digitsEnd && bytes[d] >= '0' && bytes[d] <= '9'; ++d)
      index = index * 10 + std::uint64_t(bytes[d] - '0');
    if (d == v + 3) continue;
    strings_.prefetchEnd(index);
    if (index > 0) strings_.prefetchEnd(index - 1);
    ahead_[(aheadFirst_ + aheadCount_) % kAheadStrings] = {here + at, index};
    ++aheadCount_;
  }
  aheadScanned_ = here + from;
}

void WorksheetCursor::readValueText(std::string& into) {
  if (xml_.appendSimpleContent(into)) return;
  for (;;) {
    T t = xml_.next();
    if (t == T::Text)
      xml_.appendText(into);
    else if (t == T::EndTag)
      return;
    else if (t == T::End)
      xml_.fail("ends inside a cell value");
  }
}

void WorksheetCursor::readInlineString() {
  scratch_.clear();
  int phonetic = 0;  // inside <rPh>: a reading aid, not content
  for (;;) {
    T t = xml_.next();
    if (t == T::End) xml_.fail("ends inside a cell's text");
    std::string_view name = xml_.name();
    if (t == T::EndTag) {
      if (name == "is") break;
      if (name == "rPh" && phonetic > 0) --phonetic;
    } else if (t == T::StartTag && !xml_.selfClosing()) {
      if (name == "rPh")
        ++phonetic;
      else if (name == "t" && phonetic == 0)
        readValueText(scratch_);
    }
  }
  appendUnescaped(scratch_, text_);
}

void WorksheetCursor::badValue(const char* what) {
  damaged("the cell " + columnName(cellCol_) + std::to_string(cellRow_ + 1) + " holds " +
          quoted(valueText_) + ", which is not " + what);
}

bool WorksheetCursor::finishCell(Cell& cell, bool padded) {
  cell.row = cellRow_;
  cell.col = cellCol_;
  cell.style = style_;
  cell.number = 0;
  cell.text = {};
  cell.generalText = {};
  cell.kind = CellKind::Blank;
  deferredShared_ = false;
  // Values are trimmed of white space, but nearly all have none: those the
  // short ways read at once are not looked at twice.
  std::string_view v = valueText_;
  switch (type_) {
    case Type::Number: {
      if (hasInline_) {  // an inline string with the type left out
        cell.kind = CellKind::Text;
        cell.text = text_;
        break;
      }
      if (!hasValue_) break;
      bool asGeneral = false;
      if (!(padded ? parsePlainDecimal<true>(v, cell.number, asGeneral)
                   : parsePlainDecimal<false>(v, cell.number, asGeneral))) {
        const std::string_view untrimmed = v;
        v = trimmed(v);
        if (v.empty()) break;
        if (v.size() == untrimmed.size() || !parsePlainDecimal<false>(v, cell.number, asGeneral)) {
          if (v.front() == '+') v.remove_prefix(1);
          auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), cell.number);
          if (ec != std::errc() || end != v.data() + v.size() || !std::isfinite(cell.number))
            badValue("a number");
        }
      }
      cell.kind = CellKind::Number;
      if (asGeneral && generalStyles_.shows(style_)) cell.generalText = v;
      break;
    }
    case Type::Shared: {
      if (!hasValue_) break;
      std::uint64_t index = 0;
      if (!(padded && quickDigitsPadded(v, index)) && !quickDigits(v, index)) {
        v = trimmed(v);
        if (v.empty()) break;
        if (!parseUnsigned(v, index)) badValue("a shared-string index");
      }
      cell.kind = CellKind::Text;
      if (deferStrings_) {
        if (index >= strings_.size()) (void)strings_.at(index);  // says what is wrong
        strings_.prefetchEnd(index);
        if (index > 0) strings_.prefetchEnd(index - 1);
        deferredShared_ = true;
        sharedIndex_ = index;
        break;
      }
      cell.text = stringsLock_ ? strings_.at(index, *stringsLock_, text_) : strings_.at(index);
      break;
    }
    case Type::FormulaText:
      if (!hasValue_) break;
      text_.clear();
      appendUnescaped(valueText_, text_);
      cell.kind = CellKind::Text;
      cell.text = text_;
      break;
    case Type::Inline:
      if (!hasInline_) {
        if (!hasValue_) break;
        text_.clear();
        appendUnescaped(valueText_, text_);
      }
      cell.kind = CellKind::Text;
      cell.text = text_;
      break;
    case Type::Boolean:
      if (!hasValue_) break;
      if (v != "1" && v != "0") {
        v = trimmed(v);
        if (v.empty()) break;
      }
      if (v == "1" || v == "true")
        cell.number = 1;
      else if (v != "0" && v != "false")
        badValue("TRUE or FALSE");
      cell.kind = CellKind::Boolean;
      break;
    case Type::Error:
      if (!hasValue_) break;
      v = trimmed(v);
      if (v.empty()) break;
      text_.assign(v);
      cell.kind = CellKind::Error;
      cell.text = text_;
      break;
    case Type::Date: {
      if (!hasValue_) break;
      v = trimmed(v);
      if (v.empty()) break;
      std::optional<double> serial = isoDateToSerial(v, date1904_);
      if (!serial) badValue("a date");
      cell.kind = CellKind::Number;
      cell.number = *serial;
      break;
    }
  }
  return true;
}

}  // namespace quorvel::spreadsheet::xlsx
