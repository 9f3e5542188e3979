// Writes the benchmark workbooks into a folder, with deterministic content:
//   numbers_200k.xlsx   200,000 rows x 10 columns of numbers
//   mixed_200k.xlsx     200,000 rows x 10 columns: shared strings, formatted
//                       numbers, dates, date-times, percentages, booleans
//   sheets_20x20k.xlsx  20 worksheets x 20,000 rows x 20 mixed columns
//   mixed_1m.xlsx       1,000,000 rows x 10 mixed columns
// libxlsxwriter writes them in constant-memory mode, which stores text as
// inline strings; the generator then moves the text into a shared-string
// table, as the spreadsheet application stores it, so that the readers meet
// the table they meet in real workbooks (one distinct string per ten rows).
// Each also comes as .xlsb with the same cells, from the tests' record writer.
//   generate_bench_workbooks FOLDER [NAME...]
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <memory>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/spreadsheet/xlsb/record_types.h"
#include "tests/support/xlsb_writer.h"

namespace fs = std::filesystem;

namespace {

// A small deterministic generator, so every run writes the same files.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  double uniform() { return double(next() >> 11) / double(1ull << 53); }
  std::uint32_t below(std::uint32_t n) { return std::uint32_t(next() % n); }

 private:
  std::uint64_t state_;
};

const char* kWords[] = {"north",  "south", "east",   "west",   "alpha",  "delta", "order",
                        "stock",  "crate", "pallet", "market", "ledger", "quota", "amber",
                        "cobalt", "linen", "harbor", "summit", "meadow", "canyon"};

std::string poolString(std::uint32_t i) {
  std::string s = kWords[i % 20];
  s += ' ';
  s += kWords[(i / 20) % 20];
  s += " #" + std::to_string(i);
  if (i % 7 == 0) s += ", with a comma";
  if (i % 11 == 0) s += " & \"quotes\"";
  return s;
}

// One cell of a benchmark row, before either writer has it.
struct BenchCell {
  enum Kind { Text, Number, Boolean } kind;
  enum Format { None, Money, Date, DateTime, Percent } format = None;
  double number = 0;
  std::string text;
};

BenchCell number(double v, BenchCell::Format format = BenchCell::None) {
  return {BenchCell::Number, format, v, {}};
}

// One row of the mixed kind: `columns` cells cycling through ten kinds.
void mixedRow(int columns, std::uint32_t pool, Random& rnd, std::vector<BenchCell>& row) {
  row.clear();
  for (int c = 0; c < columns; ++c) {
    switch (c % 10) {
      case 0:
      case 5:
      case 9:
        row.push_back({BenchCell::Text, BenchCell::None, 0, poolString(rnd.below(pool))});
        break;
      case 1:
        row.push_back(number(double(rnd.below(10000000)) / 100, BenchCell::Money));
        break;
      case 2:
        row.push_back(number(36526.0 + rnd.below(9000), BenchCell::Date));
        break;
      case 3:
        row.push_back({BenchCell::Boolean, BenchCell::None, double(rnd.below(2)), {}});
        break;
      case 4:
        row.push_back(number(double(rnd.below(100000)), BenchCell::None));
        break;
      case 6:
        row.push_back(number(rnd.uniform(), BenchCell::Percent));
        break;
      case 7:
        row.push_back(number((rnd.uniform() - 0.5) * 1e6, BenchCell::None));
        break;
      case 8:
        row.push_back(number(36526 + rnd.uniform() * 9000, BenchCell::DateTime));
        break;
    }
  }
}

void numberRow(int columns, Random& rnd, std::vector<BenchCell>& row) {
  row.clear();
  for (int c = 0; c < columns; ++c)
    row.push_back(
        number(c % 2 ? double(rnd.below(1000000)) : std::round(rnd.uniform() * 1e8) / 1e4));
}

struct BenchWorkbook {
  std::string name;
  int sheets, rows, columns;
  bool mixed;
};

// Calls `row` with every row of every sheet, in order; `sheet` before each sheet.
void generate(const BenchWorkbook& book, const std::function<void(int)>& sheet,
              const std::function<void(int, const std::vector<BenchCell>&)>& row) {
  std::uint32_t pool = std::uint32_t(std::max(1, book.sheets * book.rows / 10));
  Random rnd(book.rows * 31 + book.columns);
  std::vector<BenchCell> cells;
  for (int s = 0; s < book.sheets; ++s) {
    sheet(s);
    for (int r = 0; r < book.rows; ++r) {
      if (book.mixed)
        mixedRow(book.columns, pool, rnd, cells);
      else
        numberRow(book.columns, rnd, cells);
      row(r, cells);
    }
  }
}

const char* const kFormatCodes[] = {nullptr, "#,##0.00", "yyyy-mm-dd", "m/d/yyyy h:mm", "0.0%"};

void writeWorkbook(const BenchWorkbook& book, const std::string& path) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.use_zip64 = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
  lxw_format* formats[5] = {nullptr};
  for (int f = 1; f < 5; ++f) {
    formats[f] = workbook_add_format(wb);
    format_set_num_format(formats[f], kFormatCodes[f]);
  }
  lxw_worksheet* ws = nullptr;
  generate(
      book,
      [&](int s) { ws = workbook_add_worksheet(wb, ("Sheet" + std::to_string(s + 1)).c_str()); },
      [&](int r, const std::vector<BenchCell>& cells) {
        lxw_row_t row = static_cast<lxw_row_t>(r);
        for (std::size_t c = 0; c < cells.size(); ++c) {
          const BenchCell& cell = cells[c];
          lxw_col_t col = static_cast<lxw_col_t>(c);
          if (cell.kind == BenchCell::Text)
            worksheet_write_string(ws, row, col, cell.text.c_str(), nullptr);
          else if (cell.kind == BenchCell::Boolean)
            worksheet_write_boolean(ws, row, col, int(cell.number), nullptr);
          else
            worksheet_write_number(ws, row, col, cell.number, formats[cell.format]);
        }
      });
  if (workbook_close(wb) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

// The same content as .xlsb, as another writer than the application stores
// it: every cell in a record with its column (no short forms, no RK numbers),
// text in a shared-string table in the order it first appears.
void writeBinaryWorkbook(const BenchWorkbook& book, const std::string& path) {
  using namespace quorvel::test::xlsb;
  using quorvel::spreadsheet::xlsb::BrtCellReal;
  WorkbookWriter wb;
  for (std::uint16_t f = 1; f < 5; ++f)
    if (f != BenchCell::Money) wb.defineFormat(std::uint16_t(162 + f), kFormatCodes[f]);
  wb.setCellStyles(std::vector<std::uint16_t>{0, 4, 164, 165, 166});
  std::unordered_map<std::string, std::uint32_t> strings;
  std::unique_ptr<SheetWriter> sheet;
  int sheetNo = 0;
  auto finishSheet = [&] {
    if (sheet) wb.addSheet({"Sheet" + std::to_string(++sheetNo), 0, "worksheet", sheet->finish()});
  };
  generate(
      book,
      [&](int) {
        finishSheet();
        sheet = std::make_unique<SheetWriter>();
      },
      [&](int r, const std::vector<BenchCell>& cells) {
        sheet->row(static_cast<std::uint32_t>(r));
        for (std::size_t c = 0; c < cells.size(); ++c) {
          const BenchCell& cell = cells[c];
          auto col = static_cast<std::uint32_t>(c);
          if (cell.kind == BenchCell::Text) {
            auto [it, added] = strings.emplace(cell.text, 0);
            if (added) it->second = wb.addSharedString(cell.text);
            sheet->sharedString(col, it->second);
          } else if (cell.kind == BenchCell::Boolean) {
            sheet->boolean(col, cell.number != 0);
          } else {
            sheet->cell(BrtCellReal, col, cell.format, Payload().f64(cell.number));
          }
        }
      });
  finishSheet();
  wb.save(path);
}

// --- Moving inline strings into a shared-string table ----------------------

std::string readEntry(zip_t* z, zip_int64_t i) {
  zip_stat_t st;
  zip_stat_index(z, zip_uint64_t(i), 0, &st);
  std::string data(st.size, '\0');
  zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
  zip_fread(f, data.data(), data.size());
  zip_fclose(f);
  return data;
}

// Rewrites one worksheet part: `<c ... t="inlineStr"><is><t>X</t></is></c>`
// becomes `<c ... t="s"><v>N</v></c>`. Streams, one chunk of rows at a time.
void shareStrings(zip_file_t* in, std::ofstream& out, std::unordered_map<std::string, int>& index,
                  std::vector<std::string>& table) {
  static const std::string kOpen = "t=\"inlineStr\"><is><t>", kClose = "</t></is>";
  std::string buf, done;
  std::vector<char> chunk(1 << 20);
  for (;;) {
    zip_int64_t got = zip_fread(in, chunk.data(), chunk.size());
    if (got > 0) buf.append(chunk.data(), std::size_t(got));
    // Transform up to the last complete row.
    std::size_t last = got > 0 ? buf.rfind("</row>") : buf.size();
    if (last == std::string::npos) continue;
    if (got > 0) last += 6;
    done.clear();
    std::size_t at = 0;
    for (;;) {
      std::size_t open = buf.find(kOpen, at);
      if (open == std::string::npos || open >= last) break;
      std::size_t close = buf.find(kClose, open);
      std::string text = buf.substr(open + kOpen.size(), close - open - kOpen.size());
      auto [it, added] = index.emplace(text, int(table.size()));
      if (added) table.push_back(text);
      done.append(buf, at, open - at);
      done += "t=\"s\"><v>" + std::to_string(it->second) + "</v>";
      at = close + kClose.size();
    }
    done.append(buf, at, last - at);
    out << done;
    buf.erase(0, last);
    if (got <= 0) break;
  }
}

void moveStringsToTable(const std::string& path) {
  int err = 0;
  zip_t* in = zip_open(path.c_str(), ZIP_RDONLY, &err);
  std::string outPath = path + ".tmp";
  zip_t* out = zip_open(outPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  std::unordered_map<std::string, int> index;
  std::vector<std::string> table;
  std::vector<std::string> spools;
  std::vector<std::string> keep;  // buffers zip_close still reads
  keep.reserve(64);
  zip_int64_t n = zip_get_num_entries(in, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    std::string name = zip_get_name(in, zip_uint64_t(i), 0);
    if (name.rfind("xl/worksheets/sheet", 0) == 0) {
      std::string spool = path + ".part" + std::to_string(i);
      {
        std::ofstream o(spool, std::ios::binary);
        zip_file_t* f = zip_fopen_index(in, zip_uint64_t(i), 0);
        shareStrings(f, o, index, table);
        zip_fclose(f);
      }
      spools.push_back(spool);
      zip_source_t* src = zip_source_file(out, spool.c_str(), 0, -1);
      zip_file_add(out, name.c_str(), src, 0);
      continue;
    }
    keep.push_back(readEntry(in, i));
    std::string& data = keep.back();
    if (name == "xl/_rels/workbook.xml.rels") {
      data.insert(
          data.rfind("</Relationships>"),
          "<Relationship Id=\"rIdShared\" Type=\"http://schemas.openxmlformats.org/"
          "officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>");
    } else if (name == "[Content_Types].xml") {
      data.insert(data.rfind("</Types>"),
                  "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
                  "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
    }
    zip_file_add(out, name.c_str(), zip_source_buffer(out, data.data(), data.size(), 0), 0);
  }
  std::string sst =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
      std::to_string(table.size()) + "\" uniqueCount=\"" + std::to_string(table.size()) + "\">";
  for (const std::string& s : table) sst += "<si><t>" + s + "</t></si>";
  sst += "</sst>";
  zip_file_add(out, "xl/sharedStrings.xml", zip_source_buffer(out, sst.data(), sst.size(), 0), 0);
  if (zip_close(out) != 0) throw std::runtime_error("cannot write " + outPath);
  zip_discard(in);
  for (const std::string& s : spools) fs::remove(s);
  fs::rename(outPath, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [NAME...]\n", argv[0]);
    return 2;
  }
  fs::path folder(argv[1]);
  fs::create_directories(folder);
  const std::vector<BenchWorkbook> workbooks = {{"numbers_200k", 1, 200000, 10, false},
                                                {"mixed_200k", 1, 200000, 10, true},
                                                {"sheets_20x20k", 20, 20000, 20, true},
                                                {"mixed_1m", 1, 1000000, 10, true}};
  for (const BenchWorkbook& book : workbooks) {
    bool wanted = argc == 2;
    for (int i = 2; i < argc; ++i) wanted |= book.name == argv[i];
    if (!wanted) continue;
    std::string path = (folder / (book.name + ".xlsx")).string();
    writeWorkbook(book, path);
    if (book.mixed) moveStringsToTable(path);
    std::printf("%s: %.1f MB\n", path.c_str(), double(fs::file_size(path)) / 1e6);
    std::string binary = (folder / (book.name + ".xlsb")).string();
    writeBinaryWorkbook(book, binary);
    std::printf("%s: %.1f MB\n", binary.c_str(), double(fs::file_size(binary)) / 1e6);
  }
  return 0;
}
