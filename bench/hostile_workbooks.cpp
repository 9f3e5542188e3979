// Writes the hostile workbooks whose memory and time docs/performance.md
// gives: small files whose parts inflate to gigabytes, or whose structure is
// out of all proportion (deeply nested XML, a million zip entries). Nothing
// is held whole: each large part is streamed into the zip as it is made.
//
//   hostile_workbooks FOLDER [DIVISOR]
//
// DIVISOR (default 1) shrinks every size for a quick try.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/zip_writer.h"

namespace {

using quorvel::test::XlsxBuilder;
using quorvel::test::ZipEntry;

// A part made of pieces, each repeated: its size is known before it is made.
struct Piece {
  std::string text;
  std::uint64_t times = 1;
};

struct PieceSource {
  std::vector<Piece> pieces;
  std::size_t piece = 0, offset = 0;
  std::uint64_t round = 0;
  zip_error_t error;

  std::uint64_t size() const {
    std::uint64_t n = 0;
    for (const Piece& p : pieces) n += p.text.size() * p.times;
    return n;
  }
  std::size_t read(char* out, std::size_t len) {
    std::size_t done = 0;
    while (done < len && piece < pieces.size()) {
      const Piece& p = pieces[piece];
      if (round == p.times || p.text.empty()) {
        ++piece, round = 0, offset = 0;
        continue;
      }
      std::size_t take = std::min(len - done, p.text.size() - offset);
      std::memcpy(out + done, p.text.data() + offset, take);
      done += take;
      offset += take;
      if (offset == p.text.size()) offset = 0, ++round;
    }
    return done;
  }
};

zip_int64_t pieceCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* s = static_cast<PieceSource*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      s->piece = 0, s->offset = 0, s->round = 0;
      return 0;
    case ZIP_SOURCE_READ:
      return static_cast<zip_int64_t>(s->read(static_cast<char*>(data), len));
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->size = s->size();
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// Writes `base`'s parts, the part `bigName` (replacing one of the same name)
// made of `big`, and `extraEntries` empty entries.
void writePackage(const std::string& path, const XlsxBuilder& base, const std::string& bigName,
                  std::vector<Piece> big, std::uint64_t extraEntries = 0) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) throw std::runtime_error("cannot create " + path);
  std::vector<ZipEntry> entries = base.entries();
  PieceSource source;
  source.pieces = std::move(big);
  zip_error_init(&source.error);
  auto add = [&](const std::string& name, zip_source_t* src) {
    zip_int64_t i = src ? zip_file_add(archive, name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (i < 0) throw std::runtime_error("cannot add " + name);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(i), ZIP_CM_DEFLATE, 9);
  };
  for (const ZipEntry& e : entries)
    if (e.name != bigName)
      add(e.name, zip_source_buffer(archive, e.content.data(), e.content.size(), 0));
  if (!bigName.empty()) add(bigName, zip_source_function(archive, pieceCallback, &source));
  for (std::uint64_t i = 0; i < extraEntries; ++i) {
    std::string name = "extra/" + std::to_string(i);
    zip_int64_t n = zip_file_add(archive, name.c_str(), zip_source_buffer(archive, "", 0, 0), 0);
    if (n < 0) throw std::runtime_error("cannot add " + name);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(n), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("cannot write " + path);
  std::printf("%-28s %10.1f MB, %s inflates to %.1f MB\n",
              std::filesystem::path(path).filename().c_str(),
              std::filesystem::file_size(path) / 1e6, bigName.empty() ? "-" : bigName.c_str(),
              source.size() / 1e6);
}

const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A shared-string table of `count` strings of `length` letters each, read by
// a sheet whose two cells show the first and the last.
void writeSharedStrings(const std::string& path, std::uint64_t count, std::size_t length) {
  XlsxBuilder book;
  book.worksheet("Strings",
                 "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
                 "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>" +
                     std::to_string(count - 1) + "</v></c></row>");
  book.sharedStrings("");
  writePackage(path, book, "xl/sharedStrings.xml",
               {{std::string(kDecl) + "<sst xmlns=\"" + kMain + "\">"},
                {"<si><t>" + std::string(length, 'a') + "</t></si>", count},
                {"</sst>"}});
}

// The workbook part with `filler` repeated before its sheet list.
void writeWorkbookPart(const std::string& path, std::vector<Piece> filler) {
  XlsxBuilder book;
  book.worksheet("Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  std::vector<Piece> pieces = {
      {std::string(kDecl) + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\">"}};
  for (Piece& p : filler) pieces.push_back(std::move(p));
  pieces.push_back(
      {"<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId10\"/></sheets>"
       "</workbook>"});
  writePackage(path, book, "xl/workbook.xml", std::move(pieces));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: hostile_workbooks FOLDER [DIVISOR]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::uint64_t d = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  std::filesystem::create_directories(folder);
  auto at = [&](const char* name) { return (folder / name).string(); };
  try {
    // 2 GB of shared-string XML: long strings, then one-letter ones.
    writeSharedStrings(at("strings-long.xlsx"), 2000000 / d, 1000);
    writeSharedStrings(at("strings-short.xlsx"), 120000000 / d, 1);
    // 250 MB of defined names in the workbook part; two million nested elements.
    writeWorkbookPart(at("workbook-large.xlsx"),
                      {{"<definedNames>"},
                       {"<definedName name=\"n\">Sheet1!$A$1</definedName>", 5500000 / d},
                       {"</definedNames>"}});
    writeWorkbookPart(at("workbook-nested.xlsx"), {{"<a>", 2000000 / d}, {"</a>", 2000000 / d}});
    // 250 MB of cell styles; 250 MB of relationships of the workbook part.
    XlsxBuilder styled;
    styled.worksheet("Sheet1", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>").styles("");
    writePackage(at("styles-large.xlsx"), styled, "xl/styles.xml",
                 {{std::string(kDecl) + "<styleSheet xmlns=\"" + kMain + "\"><cellXfs>"},
                  {"<xf numFmtId=\"10\"/>", 12500000 / d},
                  {"</cellXfs></styleSheet>"}});
    XlsxBuilder plain;
    plain.worksheet("Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    std::string rels;
    for (const ZipEntry& e : plain.entries())
      if (e.name == "xl/_rels/workbook.xml.rels") rels = e.content;
    std::size_t end = rels.rfind("</Relationships>");
    writePackage(at("rels-large.xlsx"), plain, "xl/_rels/workbook.xml.rels",
                 {{rels.substr(0, end)},
                  {"<Relationship Id=\"x\" Type=\"t\" Target=\"t\"/>", 6000000 / d},
                  {"</Relationships>"}});
    // A sound workbook with a million more entries.
    writePackage(at("entries-million.xlsx"), plain, "", {}, 1000000 / d);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
