#include "engine/spreadsheet/xls/reader.h"

#include <cstring>
#include <filesystem>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/little_endian.h"
#include "engine/spreadsheet/xls/biff_strings.h"

namespace quorvel::spreadsheet::xls {

using namespace biff;

namespace {

constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kBofBiff4Workbook = 0x0100;
constexpr std::uint8_t kSheetTypeWorksheet = 0;  // BoundSheet8 dt: worksheet or dialog
constexpr std::uint8_t kWsBoolDialog = 0x10;
// WsBool comes among a sheet's first records; a probe stops after these.
constexpr int kWsBoolProbeRecords = 64;

std::uint16_t bofType(const BiffRecord& r) {
  return r.data.size() >= 4 ? le16(r.bytes() + 2) : kBofWorksheet;
}

// The first `maxChars` characters of UTF-8 text.
void cutToChars(std::string& s, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
    if (chars++ == maxChars) {
      s.resize(i);
      return;
    }
  }
}

bool isCellRecord(std::uint16_t type) {
  switch (type) {
    case kNumber:
    case kRk:
    case kBlank:
    case kLabel:
    case kLabelSst:
    case kBoolErr:
    case kFormula:
    case kMulRk:
    case kMulBlank:
      return true;
    default:
      return false;
  }
}

}  // namespace

Reader::Reader(std::unique_ptr<CompoundFile> container, std::unique_ptr<RandomAccessSource> stream,
               const OpenOptions& options, const std::string& loneSheetName)
    : container_(std::move(container)), stream_(std::move(stream)) {
  codePage_ = std::make_unique<CodePage>(1252);
  context_.stream = stream_.get();
  readGlobals(options, loneSheetName);
  context_.decryptor = decryptor_.get();
  context_.sharedStrings = &sharedStrings_;
  context_.codePage = codePage_.get();
  for (const XfLook& look : xfLooks_)
    emptyCellLooks_.add(!generalFormats_.isGeneral(look.format) || look.fill || look.border);
  context_.lines = {context_.biffVersion, &emptyCellLooks_, &generalFormats_};
  if (context_.biffVersion == 2) {
    xfFormats_.clear();
    for (std::uint32_t i = 0; i < 64; ++i) xfFormats_.push_back(i);
  }
  formatter_.setStyleFormats(std::move(xfFormats_));
}

std::unique_ptr<SheetCursor> Reader::openWorksheet(std::size_t index) {
  if (index >= offsets_.size())
    fail(ErrorCode::NoSuchSheet, "it has no worksheet " + std::to_string(index + 1));
  return std::make_unique<WorksheetCursor>(context_, offsets_[index]);
}

void Reader::readGlobals(const OpenOptions& options, const std::string& loneSheetName) {
  BiffStream s(*stream_);
  BiffRecord r;
  if (!s.next(r) || !isBofRecord(r.type))
    damaged("the workbook stream does not start with a BOF record");
  int& v = context_.biffVersion;
  switch (r.type) {
    case kBof2:
      v = 2;
      break;
    case kBof3:
      v = 3;
      break;
    case kBof4:
      v = 4;
      break;
    default:
      v = r.data.size() >= 2 && le16(r.bytes()) == 0x0500 ? 5 : 8;
  }
  const std::uint16_t dt = bofType(r);
  const bool globals = (v >= 5 && dt == kBofGlobals) || (v == 4 && dt == kBofBiff4Workbook);
  if (!globals) {
    // A stream of one sheet: its set-up records lie among its cells.
    while (s.next(r) && r.type != kEof) readSetupRecord(s, r, options);
    if (dt == kBofWorksheet) {
      std::string name = loneSheetName;
      cutToChars(name, kMaxSheetNameChars);
      worksheets_.push_back({name, SheetVisibility::Visible});
      offsets_.push_back(0);
    }
    return;
  }
  std::vector<std::string> biff4Names;
  while (s.next(r) && r.type != kEof && !isBofRecord(r.type)) {
    if (readSetupRecord(s, r, options)) continue;
    if (r.type == kBoundSheet && v >= 5) {
      if (r.data.size() < 7) damaged("a sheet record is cut short");
      BoundSheet b;
      b.offset = le32(r.bytes());
      std::uint8_t state = r.bytes()[4] & 3;
      b.info.visibility = state == 1   ? SheetVisibility::Hidden
                          : state == 0 ? SheetVisibility::Visible
                                       : SheetVisibility::VeryHidden;
      b.type = r.bytes()[5];
      b.info.name = sheetName(r.data.substr(6), true);
      // Each sheet is probed below: a damaged list must not make that endless.
      if (bound_.size() == static_cast<std::size_t>(kMaxSheetsInWorkbook))
        fail(ErrorCode::TooLarge,
             "it lists more than " + std::to_string(kMaxSheetsInWorkbook) + " sheets");
      bound_.push_back(std::move(b));
    } else if (r.type == kBundleSheet4 && v == 4) {
      // Its layout is not documented: the name is a counted 8-bit string,
      // at the start or after six bytes.
      std::string_view d = r.data;
      if (d.size() >= 7 && std::size_t{static_cast<unsigned char>(d[6])} + 7 == d.size())
        d = d.substr(6);
      biff4Names.push_back(sheetName(d, true));
    } else if (r.type == kSst && v == 8) {
      readSst(s, r);
    }
  }
  if (v == 4) {
    findBiff4Sheets(s, biff4Names);
    return;
  }
  for (const BoundSheet& b : bound_) {
    if (b.type != kSheetTypeWorksheet || !isWorksheetSubstream(b.offset)) continue;
    if (worksheets_.size() == static_cast<std::size_t>(kMaxSheetsInWorkbook))
      fail(ErrorCode::TooLarge,
           "it has more than " + std::to_string(kMaxSheetsInWorkbook) + " worksheets");
    worksheets_.push_back(b.info);
    offsets_.push_back(b.offset);
  }
}

bool Reader::readSetupRecord(BiffStream& s, const BiffRecord& r, const OpenOptions& options) {
  const unsigned char* p = r.bytes();
  const std::size_t n = r.data.size();
  const int v = context_.biffVersion;
  switch (r.type) {
    case kFilePass:
      decryptor_ = makeBiffDecryptor(r.data, v == 8, options.passwords);
      s.setDecryptor(decryptor_.get());
      return true;
    case kCodePage:
      if (n >= 2) codePage_ = std::make_unique<CodePage>(le16(p));
      return true;
    case kDate1904:
      if (n >= 2) formatter_.setDate1904(le16(p) != 0);
      return true;
    case kFormat:
    case kFormat2: {
      std::string code;
      std::uint32_t id;
      if (r.type == kFormat && v >= 5) {
        if (n < 2) damaged("a number format record is cut short");
        id = le16(p);
        readBiffString(r.data.substr(2), v == 8 ? 2 : 1, v == 8, *codePage_, code);
      } else {
        // BIFF2-4 number their formats in the order they come.
        id = formatCount_++;
        std::size_t at = r.type == kFormat ? 2 : 0;
        if (n < at) damaged("a number format record is cut short");
        readBiffString(r.data.substr(at), 1, false, *codePage_, code);
      }
      generalFormats_.define(id, code);
      formatter_.defineFormat(id, std::move(code));
      return true;
    }
    case kXf:
    case kXf4:
    case kXf3:
    case kXf2:
      if (std::optional<XfLook> look = readXfLook(r, v)) {
        xfFormats_.push_back(look->format);
        xfLooks_.push_back(*look);
      }
      return true;
    default:
      return false;
  }
}

void Reader::readSst(BiffStream& s, const BiffRecord& sst) {
  std::vector<std::string> segments;
  segments.emplace_back(sst.data);
  std::uint16_t type;
  BiffRecord c;
  while (s.peekType(type) && type == kContinue && s.next(c)) segments.emplace_back(c.data);
  readSharedStrings(segments, sharedStrings_);
}

std::string Reader::sheetName(std::string_view data, bool shortCount) {
  std::string name;
  readBiffString(data, shortCount ? 1 : 2, context_.biffVersion == 8, *codePage_, name);
  cutToChars(name, kMaxSheetNameChars);
  return name;
}

bool Reader::isWorksheetSubstream(std::uint64_t offset) {
  BiffStream s(*stream_);
  s.setDecryptor(decryptor_.get());
  s.seek(offset);
  BiffRecord r;
  if (!s.next(r) || !isBofRecord(r.type))
    damaged("a sheet does not start with a BOF record at offset " + std::to_string(offset));
  if (bofType(r) != kBofWorksheet) return false;
  for (int i = 0; i < kWsBoolProbeRecords && s.next(r); ++i) {
    if (r.type == kWsBool) return r.data.empty() || !(r.bytes()[0] & kWsBoolDialog);
    if (r.type == kEof || isBofRecord(r.type) || isCellRecord(r.type)) break;
  }
  return true;
}

void Reader::findBiff4Sheets(BiffStream& s, const std::vector<std::string>& names) {
  // The sheets follow the globals, one substream after the other.
  BiffRecord r;
  std::size_t ordinal = 0;
  std::uint32_t depth = 0;
  std::uint64_t offset = 0;
  bool worksheet = false;
  while (s.next(r)) {
    if (isBofRecord(r.type)) {
      if (depth++ == 0) {
        offset = r.offset;
        worksheet = bofType(r) == kBofWorksheet;
      }
    } else if (r.type == kEof && depth > 0 && --depth == 0) {
      if (worksheet) {
        std::string name =
            ordinal < names.size() ? names[ordinal] : "Sheet" + std::to_string(ordinal + 1);
        worksheets_.push_back({name, SheetVisibility::Visible});
        offsets_.push_back(offset);
      }
      if (++ordinal > static_cast<std::size_t>(kMaxSheetsInWorkbook))
        fail(ErrorCode::TooLarge,
             "it holds more than " + std::to_string(kMaxSheetsInWorkbook) + " sheets");
    }
  }
}

namespace {

bool isCompoundFile(RandomAccessSource& file) {
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8];
  if (file.size() < sizeof head) return false;
  file.read(0, head, sizeof head);
  return std::memcmp(head, kSignature, sizeof head) == 0;
}

}  // namespace

std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<CompoundFile> container,
                                             const OpenOptions& options,
                                             const std::string& loneSheetName) {
  // BIFF8 names the stream "Workbook", BIFF5 "Book"; letter case varies.
  const char* name = container->hasStream("Workbook") ? "Workbook"
                     : container->hasStream("Book")   ? "Book"
                                                      : nullptr;
  if (!name) fail(ErrorCode::NotAWorkbook, "the compound file holds no workbook stream");
  auto stream = container->openStream(name);
  return std::make_unique<Reader>(std::move(container), std::move(stream), options, loneSheetName);
}

std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<RandomAccessSource> file,
                                             const OpenOptions& options,
                                             const std::string& loneSheetName) {
  if (!isCompoundFile(*file))
    return std::make_unique<Reader>(nullptr, std::move(file), options, loneSheetName);
  return openWorkbook(std::make_unique<CompoundFile>(std::move(file)), options, loneSheetName);
}

std::unique_ptr<WorkbookReader> openWorkbook(const std::string& path, const OpenOptions& options) {
  return openWorkbook(openFileSource(path), options, std::filesystem::path(path).stem().string());
}

}  // namespace quorvel::spreadsheet::xls
