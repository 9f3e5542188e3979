#include "engine/spreadsheet/xlsx/parallel_worksheet.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/parallel_pieces.h"
#include "engine/spreadsheet/string_table.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

// Tables smaller than this stay in a core's cache: their strings are looked
// up as their cells are read.
constexpr std::uint64_t kDeferStringsTableBytes = std::uint64_t(64) << 10;

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// Whether the local name at `nameAt` is a tag's, with or without a prefix:
// `<name`, or `</name` for an end tag.
bool isTagName(std::string_view s, std::size_t nameAt, bool endTag) {
  std::size_t j = nameAt;
  if (j > 0 && s[j - 1] == ':') {
    --j;
    while (j > 0 && isNameChar(s[j - 1])) --j;
  }
  if (endTag) return j >= 2 && s[j - 1] == '/' && s[j - 2] == '<';
  return j >= 1 && s[j - 1] == '<';
}

// Just past the first row end tag at or after `from`; npos when there is
// none. Only a place to try: the scanner reading the piece before it
// confirms that the tag is one (a comment or a tag cut open makes it fail).
std::size_t afterRowEnd(std::string_view s, std::size_t from) {
  for (;;) {
    std::size_t at = s.find("row>", from);
    if (at == std::string_view::npos) return at;
    if (isTagName(s, at, true)) return at + 4;
    from = at + 1;
  }
}

// Just past the start tag of the cell data, <sheetData ...>, looking from
// `from` on; npos when `s` does not hold it whole yet (`from` then says
// where to look again once more bytes are there).
std::size_t afterCellDataStart(std::string_view s, std::size_t& from, bool& selfClosing) {
  static constexpr std::string_view kName = "sheetData";
  for (;;) {
    std::size_t at = s.find(kName, from);
    if (at == std::string_view::npos) {
      from = s.size() > kName.size() ? s.size() - kName.size() : 0;
      return at;
    }
    std::size_t p = at + kName.size();
    if (p >= s.size()) {
      from = at;
      return std::string_view::npos;
    }
    char c = s[p];
    if (!isTagName(s, at, false) ||
        !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '>' || c == '/')) {
      from = at + 1;
      continue;
    }
    char quote = 0;
    for (; p < s.size(); ++p) {
      c = s[p];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        selfClosing = s[p - 1] == '/';
        return p + 1;
      }
    }
    from = at;
    return std::string_view::npos;
  }
}

class XmlPieces final : public PieceFormat {
 public:
  XmlPieces(std::string partName, const SheetContext& context)
      : partName_(std::move(partName)), context_(context) {}

  std::size_t cutAt(std::string_view bytes, std::size_t want, std::size_t& from,
                    bool&) const override {
    // A row end tag may straddle the wanted size.
    from = std::max(from, want > 8 ? std::min(bytes.size(), want - 8) : 0);
    std::size_t cut = afterRowEnd(bytes, from);
    if (cut == std::string_view::npos) from = bytes.size() > 8 ? bytes.size() - 8 : 0;
    return cut;
  }

  void readPiece(std::string_view bytes, bool first, PieceCells& cells) const override {
    PieceStart start;
    start.inCellData = true;
    start.rowKnown = first;
    start.lines = cells.prefixLines();
    start.stringsLock = &cells.sharedLock();
    const StringTable& strings = context_.strings;
    const bool defer = strings.storedBytes() > kDeferStringsTableBytes;
    start.deferSharedStrings = defer;
    WorksheetCursor cursor(bytes, partName_, strings, context_.date1904, context_.generalStyles,
                           context_.emptyCellLooks, std::move(start));
    if (!defer) {
      Cell cell;
      while (cursor.next(cell)) cells.add(cell);
    } else {
      readStaggered(cursor, bytes, cells);
    }
    // Ending inside a tag or a cell has thrown; ending anywhere but inside
    // the cell data means the cut was not after a row.
    if (!cursor.inCellData()) damaged(partText(partName_) + " was cut outside its cell data");
    cells.end(cursor.cellDataClosed(), cursor.formattedLines());
  }

  // A large string table is read at random, and each lookup would wait for
  // memory twice: for the string's end, then for its text. Cells are handed
  // on a few behind the cursor instead: the ends of a shared string are
  // fetched when its cell is read; kTextLead cells later they say where its
  // text lies, which is fetched in turn; kHeld cells later the cell is handed
  // on, its text in the cache. A string in the table's file (a table past its
  // memory limit) is looked up then, under the lock.
  void readStaggered(WorksheetCursor& cursor, std::string_view bytes, PieceCells& cells) const {
    struct Held {
      Cell cell;
      std::uint64_t index;
      bool shared;
    };
    static constexpr std::size_t kHeld = 16, kTextLead = 8;  // kHeld a power of two
    Held held[kHeld];
    std::size_t first = 0, end = 0;  // held cells: [first, end), counted on
    const StringTable& strings = context_.strings;
    std::mutex& lock = cells.sharedLock();
    std::string copy;
    auto handOn = [&] {
      Held& h = held[first++ % kHeld];
      if (h.shared) h.cell.text = strings.at(h.index, lock, copy);
      cells.add(h.cell);
    };
    // Other views of a cell lie in the piece, or in the cursor's own
    // buffers, which its next cell overwrites.
    const auto pieceAt = reinterpret_cast<std::uintptr_t>(bytes.data());
    auto inPiece = [&](std::string_view v) {
      const auto at = reinterpret_cast<std::uintptr_t>(v.data());
      return v.empty() || (at >= pieceAt && at - pieceAt + v.size() <= bytes.size());
    };
    for (;;) {
      Held& h = held[end % kHeld];
      if (!cursor.next(h.cell)) break;
      h.shared = cursor.deferredShared();
      h.index = cursor.sharedIndex();
      ++end;
      if (!h.shared && !(inPiece(h.cell.text) && inPiece(h.cell.generalText))) {
        while (first != end) handOn();
        continue;
      }
      if (end - first > kTextLead) {
        // Its ends are in the cache by now: where its text lies is known.
        Held& soon = held[(end - 1 - kTextLead) % kHeld];
        if (soon.shared && strings.inMemory(soon.index, soon.cell.text)) {
          soon.shared = false;
          if (!soon.cell.text.empty()) __builtin_prefetch(soon.cell.text.data());
        }
      }
      if (end - first == kHeld) handOn();
    }
    while (first != end) handOn();
  }

 private:
  std::string partName_;
  SheetContext context_;
};

}  // namespace

std::unique_ptr<SheetCursor> openParallelWorksheet(std::unique_ptr<PartStream> stream,
                                                   const SheetContext& context,
                                                   const ParallelReading& how, FieldWriter write,
                                                   std::stop_token stop) {
  if (how.threads < 2 || stream->size() < how.minSheetBytes) return nullptr;
  std::string partName = stream->partName();
  std::shared_ptr<PartStream> part = std::move(stream);
  ReadBytes read = [part](char* buffer, std::size_t n) { return part->read(buffer, n); };
  // The part up to and with <sheetData>, read on this thread.
  std::string bytes;
  std::size_t from = 0, start = 0;
  bool selfClosing = false;
  if (!readToCellData(
          read, [&](std::string_view b) { return afterCellDataStart(b, from, selfClosing); }, bytes,
          start) ||
      selfClosing)
    return nullptr;
  std::optional<WorksheetCursor> prefix;
  try {
    prefix.emplace(std::string_view(bytes).substr(0, start), partName, context.strings,
                   context.date1904, context.generalStyles, context.emptyCellLooks, PieceStart{});
    Cell cell;
    if (prefix->next(cell) || !prefix->inCellData() || prefix->cellDataClosed()) return nullptr;
  } catch (const FormatError&) {
    return nullptr;  // one thread reads the part and says what is wrong
  }
  bytes.erase(0, start);
  auto format = std::make_unique<XmlPieces>(partName, context);
  return readInPieces(std::move(read), std::move(partName),
                      PiecesPrefix{prefix->storedRange(), prefix->lineTracker(), std::move(bytes)},
                      std::move(format), how, std::move(write), std::move(stop));
}

}  // namespace quorvel::spreadsheet::xlsx
