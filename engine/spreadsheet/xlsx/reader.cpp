#include "engine/spreadsheet/xlsx/reader.h"

#include <charconv>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/xml_parser.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_bounds.h"
#include "engine/spreadsheet/xlsx/parallel_worksheet.h"
#include "engine/spreadsheet/xlsx/shared_strings.h"
#include "engine/spreadsheet/xlsx/worksheet_cursor.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

std::uint32_t toId(const char* text) {
  std::uint32_t v = 0;
  if (text) std::from_chars(text, text + std::char_traits<char>::length(text), v);
  return v;
}

bool isTrue(const char* text) {
  if (!text) return false;
  std::string_view v(text);
  return v == "1" || v == "true" || v == "on";
}

struct SheetEntry {
  std::string name, relId;
  SheetVisibility visibility = SheetVisibility::Visible;
};

// The workbook part: the sheet list and the date system.
class WorkbookHandler : public XmlHandler {
 public:
  std::vector<SheetEntry> sheets;
  bool date1904 = false;

  void startElement(std::string_view name, const char** attrs) override {
    if (name == "workbookPr") {
      date1904 = isTrue(findAttr(attrs, "date1904"));
    } else if (name == "sheet") {
      checkSheetCount(sheets.size());
      SheetEntry s;
      if (const char* v = findAttr(attrs, "name")) s.name = v;
      if (const char* v = findAttr(attrs, "id")) s.relId = v;
      checkSheetField(s.name, sheets.size() + 1, "name");
      checkSheetField(s.relId, sheets.size() + 1, "relationship id");
      if (const char* v = findAttr(attrs, "state")) {
        std::string_view state(v);
        if (state == "hidden") s.visibility = SheetVisibility::Hidden;
        if (state == "veryHidden") s.visibility = SheetVisibility::VeryHidden;
      }
      sheets.push_back(std::move(s));
    }
  }
};

// The styles part: custom number formats, each cell style's format id, and
// whether the style shows in an empty cell (a format, a fill or a border).
class StylesHandler : public XmlHandler {
 public:
  explicit StylesHandler(CellFormatter& formatter) : formatter_(formatter) {}
  std::vector<std::uint32_t> formatIdByStyle;
  bool generalRedefined = false;  // id 0 given a code other than General

  EmptyCellLooks emptyCellLooks() const {
    EmptyCellLooks looks;
    auto shown = [](const std::vector<bool>& table, std::uint32_t i) {
      return i < table.size() && table[i];
    };
    for (const StyleIds& s : styles_)
      looks.add(!generalIds_.isGeneral(s.numFmtId) || shown(fillShows_, s.fillId) ||
                shown(borderShows_, s.borderId));
    return looks;
  }

  void startElement(std::string_view name, const char** attrs) override {
    if (name == "numFmts") {
      inFormats_ = true;
    } else if (name == "cellXfs") {
      inCellStyles_ = true;
    } else if (name == "fills") {
      inFills_ = true;
    } else if (name == "borders") {
      inBorders_ = true;
    } else if (name == "numFmt" && inFormats_) {
      const char* code = findAttr(attrs, "formatCode");
      std::uint32_t id = toId(findAttr(attrs, "numFmtId"));
      if (code) formatter_.defineFormat(id, code);
      if (code) generalIds_.define(id, code);
      if (code && id == 0) generalRedefined = !isGeneralFormatCode(code);
    } else if (name == "xf" && inCellStyles_) {
      checkCellStyleCount(formatIdByStyle.size());
      StyleIds ids{toId(findAttr(attrs, "numFmtId")), toId(findAttr(attrs, "fillId")),
                   toId(findAttr(attrs, "borderId"))};
      formatIdByStyle.push_back(ids.numFmtId);
      styles_.push_back(ids);
    } else if (inFills_) {
      readFill(name, attrs);
    } else if (inBorders_) {
      readBorder(name, attrs);
    }
  }
  void endElement(std::string_view name) override {
    if (name == "numFmts") inFormats_ = false;
    if (name == "cellXfs") inCellStyles_ = false;
    if (name == "fills") inFills_ = false;
    if (name == "borders") inBorders_ = false;
  }

 private:
  struct StyleIds {
    std::uint32_t numFmtId, fillId, borderId;
  };

  // Every table's first fills are none and gray125, which cells show as no fill.
  void readFill(std::string_view name, const char** attrs) {
    if (name == "fill") {
      fillShows_.push_back(false);
    } else if (!fillShows_.empty() && name == "gradientFill") {
      fillShows_.back() = true;
    } else if (!fillShows_.empty() && name == "patternFill") {
      const char* type = findAttr(attrs, "patternType");
      std::string_view t = type ? type : "none";
      fillShows_.back() = t != "none" && t != "gray125";
    }
  }
  void readBorder(std::string_view name, const char** attrs) {
    if (name == "border") {
      borderShows_.push_back(false);
      diagonal_ = isTrue(findAttr(attrs, "diagonalUp")) || isTrue(findAttr(attrs, "diagonalDown"));
      return;
    }
    // Inner "vertical" and "horizontal" lines belong to ranges, not to a cell.
    bool side = name == "left" || name == "right" || name == "top" || name == "bottom" ||
                name == "start" || name == "end" || (name == "diagonal" && diagonal_);
    const char* style = findAttr(attrs, "style");
    if (side && !borderShows_.empty() && style && std::string_view(style) != "none")
      borderShows_.back() = true;
  }

  CellFormatter& formatter_;
  bool inFormats_ = false, inCellStyles_ = false, inFills_ = false, inBorders_ = false;
  std::vector<StyleIds> styles_;
  GeneralFormatIds generalIds_;
  std::vector<bool> fillShows_, borderShows_;
  bool diagonal_ = false;  // the border being read draws a diagonal
};

std::string folderOf(const std::string& part) {
  std::size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

class Reader final : public WorkbookReader {
 public:
  Reader(std::unique_ptr<ZipPackage> package, const std::string& workbookPart)
      : package_(std::move(package)) {
    std::vector<Relationship> rels = package_->relationships(workbookPart);
    const std::string folder = folderOf(workbookPart);
    // A part named by the workbook's relationships, else by convention.
    auto partOfType = [&](std::string_view suffix, const std::string& usual) -> std::string {
      if (const Relationship* rel = findRelationshipOfType(rels, suffix)) return rel->target;
      return package_->has(folder + usual) ? folder + usual : std::string();
    };

    // Streamed: the part may be large (defined names), its sheet list not.
    WorkbookHandler book;
    parseXml(*package_->openPart(workbookPart), book, workbookPart);
    formatter_.setDate1904(book.date1904);

    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
      const SheetEntry& sheet = book.sheets[i];
      const Relationship* rel = findRelationship(rels, sheet.relId);
      std::string part;
      if (rel) {
        if (!relTypeIs(*rel, "/worksheet")) continue;  // chart, dialog, macro sheets
        part = rel->target;
      } else {
        // No relationship: a worksheet only where the usual part name exists.
        part = folder + "worksheets/sheet" + std::to_string(i + 1) + ".xml";
        if (!package_->has(part)) continue;
      }
      const std::string shown =
          std::string("the worksheet '").append(printable(sheet.name)).append("'");
      if (rel && rel->external) damaged(shown + " lies outside the package");
      if (part.empty()) damaged(shown + " has no part: its relationship names none");
      if (!package_->has(part))
        damaged(shown + " has no part in the package (" + printable(part, 2 * kQuotedContentBytes) +
                ")");
      sheets_.push_back({sheet.name, sheet.visibility});
      sheetParts_.push_back(part);
    }

    std::string styles = partOfType("/styles", "styles.xml");
    if (!styles.empty() && package_->has(styles)) {
      StylesHandler handler(formatter_);
      parseXml(*package_->openPart(styles), handler, styles);
      for (std::uint32_t id : handler.formatIdByStyle)
        generalStyles_.byStyle.push_back(id == 0 && !handler.generalRedefined);
      generalStyles_.otherwise = !handler.generalRedefined;
      formatter_.setStyleFormats(std::move(handler.formatIdByStyle));
      emptyCellLooks_ = handler.emptyCellLooks();
    }
    stringsPart_ = partOfType("/sharedStrings", "sharedStrings.xml");
  }

  const std::vector<WorksheetInfo>& worksheets() const override { return sheets_; }

  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override {
    if (index >= sheetParts_.size())
      fail(ErrorCode::NoSuchSheet, "it has " + std::to_string(sheetParts_.size()) +
                                       " worksheets, not " + std::to_string(index + 1));
    readStrings();
    return std::make_unique<WorksheetCursor>(package_->openPart(sheetParts_[index]), strings_,
                                             formatter_.date1904(), generalStyles_,
                                             emptyCellLooks_);
  }

  std::unique_ptr<SheetCursor> openWorksheetInParallel(std::size_t index,
                                                       const ParallelReading& how,
                                                       FieldWriter write,
                                                       std::stop_token stop) override {
    if (how.threads < 2 || index >= sheetParts_.size()) return nullptr;
    readStrings();
    auto stream = package_->openPart(sheetParts_[index]);
    if (stream->size() < how.minSheetBytes) return nullptr;
    formatter_.prepareAllStyles();  // before the workers share it
    return openParallelWorksheet(
        std::move(stream),
        SheetContext{strings_, formatter_.date1904(), generalStyles_, emptyCellLooks_}, how,
        std::move(write), std::move(stop));
  }

  const CellFormatter& formatter() const override { return formatter_; }

 private:
  // Read when a sheet is first wanted: listing the sheets does not need it.
  void readStrings() {
    if (!stringsRead_ && !stringsPart_.empty() && package_->has(stringsPart_)) {
      try {
        auto stream = package_->openPart(stringsPart_);
        readSharedStrings(*stream, strings_);
      } catch (...) {
        strings_ = StringTable();  // the next sheet tries again and fails alike
        throw;
      }
    }
    stringsRead_ = true;
  }

  std::unique_ptr<ZipPackage> package_;
  std::vector<WorksheetInfo> sheets_;
  std::vector<std::string> sheetParts_;
  CellFormatter formatter_;
  std::string stringsPart_;
  StringTable strings_;
  bool stringsRead_ = false;
  GeneralStyles generalStyles_;
  EmptyCellLooks emptyCellLooks_;
};

}  // namespace

std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<ZipPackage> package,
                                             const std::string& workbookPart) {
  return std::make_unique<Reader>(std::move(package), workbookPart);
}

}  // namespace quorvel::spreadsheet::xlsx
