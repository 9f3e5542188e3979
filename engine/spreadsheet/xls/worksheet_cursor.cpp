#include "engine/spreadsheet/xls/worksheet_cursor.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/little_endian.h"
#include "engine/spreadsheet/rk_number.h"
#include "engine/spreadsheet/xls/biff_strings.h"

namespace quorvel::spreadsheet::xls {

using namespace biff;

bool isBofRecord(std::uint16_t type) {
  return type == kBof || type == kBof2 || type == kBof3 || type == kBof4;
}

WorksheetCursor::WorksheetCursor(const SheetContext& context, std::uint64_t offset)
    : context_(context), stream_(*context.stream), start_(offset), lines_(kLastBiffColumn) {
  stream_.setDecryptor(context.decryptor);
}

std::uint32_t WorksheetCursor::biff2Style(const unsigned char* attributes) const {
  // BIFF2 cells name their number format directly (the workbook's style
  // table maps style n to format n); BIFF3-4 files that use the BIFF2 forms
  // name their XF there.
  return context_.biffVersion == 2 ? attributes[1] & 0x3F : attributes[0] & 0x3F;
}

bool WorksheetCursor::next(Cell& cell) {
  if (ended_) return false;
  if (!started_) {
    started_ = true;
    stream_.seek(start_);
    BiffRecord bof;
    if (!stream_.next(bof) || !isBofRecord(bof.type))
      damaged("a worksheet does not start with a BOF record");
  }
  if (multipleAt_ < multipleCount_) {
    nextOfMultiple(cell);
    return checked(cell);
  }
  BiffRecord r;
  while (stream_.next(r)) {
    if (isBofRecord(r.type)) {
      ++depth_;
      continue;
    }
    if (r.type == kEof) {
      if (depth_ == 0) break;
      --depth_;
      continue;
    }
    if (depth_ > 0) continue;
    if (decode(r, cell)) return checked(cell);
    readLineRecord(r, context_.lines, lines_);
  }
  ended_ = true;
  return false;
}

bool WorksheetCursor::checked(const Cell& cell) {
  if (cell.row >= kMaxRows || cell.col >= kMaxColumns)
    damaged("a cell lies outside the worksheet's rows and columns");
  return true;
}

bool WorksheetCursor::nextOfMultiple(Cell& cell) {
  const auto* p = reinterpret_cast<const unsigned char*>(multiple_.data());
  cell.row = le16(p);
  cell.col = le16(p + 2) + static_cast<std::uint32_t>(multipleAt_);
  if (multipleType_ == kMulRk) {
    const unsigned char* e = p + 4 + 6 * multipleAt_;
    cell.style = le16(e);
    cell.kind = CellKind::Number;
    cell.number = decodeRk(le32(e + 2));
  } else {
    cell.style = le16(p + 4 + 2 * multipleAt_);
    cell.kind = CellKind::Blank;
  }
  ++multipleAt_;
  return true;
}

bool WorksheetCursor::decode(const BiffRecord& r, Cell& cell) {
  const unsigned char* p = r.bytes();
  const std::size_t n = r.data.size();
  const int v = context_.biffVersion;
  const bool biff2Form =
      v <= 4 && (r.type == kBlank2 || r.type == kInteger2 || r.type == kNumber2 ||
                 r.type == kLabel2 || r.type == kBoolErr2 || (v == 2 && r.type == kFormula));
  if (biff2Form) {
    if (n < 7) damaged("a cell record is cut short");
    cell.row = le16(p);
    cell.col = le16(p + 2);
    cell.style = biff2Style(p + 4);
    switch (r.type) {
      case kBlank2:
        cell.kind = CellKind::Blank;
        return true;
      case kInteger2:
        if (n < 9) damaged("a cell record is cut short");
        cell.kind = CellKind::Number;
        cell.number = le16(p + 7);
        return true;
      case kNumber2:
        if (n < 15) damaged("a cell record is cut short");
        cell.kind = CellKind::Number;
        cell.number = leDouble(p + 7);
        return true;
      case kLabel2:
        text_.clear();
        readBiffString(r.data.substr(7), 1, false, *context_.codePage, text_);
        cell.kind = CellKind::Text;
        cell.text = text_;
        return true;
      case kBoolErr2:
        if (n < 9) damaged("a cell record is cut short");
        cell.kind = p[8] ? CellKind::Error : CellKind::Boolean;
        cell.number = p[7] ? 1 : 0;
        cell.text = errorCodeText(p[7]);
        return true;
      default:
        decodeFormula(r, 7, cell);
        return true;
    }
  }
  switch (r.type) {
    case kNumber:
    case kRk:
    case kRk2:
    case kBlank:
    case kLabel:
    case kRString:
    case kLabelSst:
    case kBoolErr:
    case kFormula:
    case kFormula3:
    case kFormula4:
      break;
    case kMulRk:
    case kMulBlank: {
      std::size_t width = r.type == kMulRk ? 6 : 2;
      if (n < 6 + width) damaged("a cell record is cut short");
      multiple_.assign(r.data);
      multipleType_ = r.type;
      multipleAt_ = 0;
      multipleCount_ = (n - 6) / width;
      return nextOfMultiple(cell);
    }
    default:
      return false;
  }
  if (n < 6) damaged("a cell record is cut short");
  cell.row = le16(p);
  cell.col = le16(p + 2);
  cell.style = le16(p + 4);
  switch (r.type) {
    case kNumber:
      if (n < 14) damaged("a cell record is cut short");
      cell.kind = CellKind::Number;
      cell.number = leDouble(p + 6);
      return true;
    case kRk:
    case kRk2:
      if (n < 10) damaged("a cell record is cut short");
      cell.kind = CellKind::Number;
      cell.number = decodeRk(le32(p + 6));
      return true;
    case kBlank:
      cell.kind = CellKind::Blank;
      return true;
    case kLabel:
    case kRString:
      text_.clear();
      readBiffString(r.data.substr(6), 2, v == 8, *context_.codePage, text_);
      cell.kind = CellKind::Text;
      cell.text = text_;
      return true;
    case kLabelSst: {
      if (n < 10) damaged("a cell record is cut short");
      cell.text = context_.sharedStrings->at(le32(p + 6), [](std::uint64_t i, std::size_t n) {
        return "a cell refers to shared string " + std::to_string(i) + " of " + std::to_string(n);
      });
      cell.kind = CellKind::Text;
      return true;
    }
    case kBoolErr:
      if (n < 8) damaged("a cell record is cut short");
      cell.kind = p[7] ? CellKind::Error : CellKind::Boolean;
      cell.number = p[6] ? 1 : 0;
      cell.text = errorCodeText(p[6]);
      return true;
    default:
      decodeFormula(r, 6, cell);
      return true;
  }
}

void WorksheetCursor::decodeFormula(const BiffRecord& r, std::size_t valueAt, Cell& cell) {
  if (r.data.size() < valueAt + 8) damaged("a formula record is cut short");
  const unsigned char* value = r.bytes() + valueAt;
  if (le16(value + 6) != 0xFFFF) {
    cell.kind = CellKind::Number;
    cell.number = leDouble(value);
    return;
  }
  // A cached result other than a number ([MS-XLS] FormulaValue).
  std::uint8_t type = value[0], payload = value[2];
  switch (type) {
    case 0:
      readStringResult();  // moves the stream: the record is not used after
      cell.kind = CellKind::Text;
      cell.text = text_;
      return;
    case 1:
      cell.kind = CellKind::Boolean;
      cell.number = payload ? 1 : 0;
      return;
    case 2:
      cell.kind = CellKind::Error;
      cell.text = errorCodeText(payload);
      return;
    default:
      // An empty string: shown as nothing, yet a stored cell.
      cell.kind = CellKind::Text;
      text_.clear();
      cell.text = text_;
      return;
  }
}

void WorksheetCursor::readStringResult() {
  text_.clear();
  std::uint16_t type;
  // Shared and array formulas put their definition between the two.
  while (stream_.peekType(type) && (type == kShrFmla || type == kArray || type == kTable)) {
    BiffRecord skip;
    stream_.next(skip);
  }
  if (!stream_.peekType(type) || (type != kString && type != kString2)) return;
  BiffRecord s;
  stream_.next(s);
  const int v = context_.biffVersion;
  if (type == kString2 || v == 2) {
    readBiffString(s.data, 1, false, *context_.codePage, text_);
    return;
  }
  if (v != 8) {
    readBiffString(s.data, 2, false, *context_.codePage, text_);
    return;
  }
  if (s.data.size() < 3) return;
  std::size_t count = le16(s.bytes());
  readBiffString(s.data, 2, true, *context_.codePage, text_);
  // A long result continues in Continue records, each with its option byte.
  std::size_t got = 0;
  for (std::size_t i = 0; i < text_.size(); ++i)
    got += (static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80;
  while (got < count && stream_.peekType(type) && type == kContinue) {
    BiffRecord c;
    stream_.next(c);
    if (c.data.empty()) continue;
    bool twoBytes = c.bytes()[0] & 1;
    std::size_t take = std::min(count - got, (c.data.size() - 1) / (twoBytes ? 2 : 1));
    appendBiff8Chars(c.bytes() + 1, take, twoBytes, text_);
    got += take;
  }
}

}  // namespace quorvel::spreadsheet::xls
