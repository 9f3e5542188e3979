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
//   generate_bench_workbooks FOLDER [NAME...]
#include <xlsxwriter.h>
#include <zip.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

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

struct Formats {
  lxw_format *money, *date, *dateTime, *percent;
};

// One row of the mixed kind: `columns` cells cycling through ten kinds.
void writeMixedRow(lxw_worksheet* ws, lxw_row_t row, int columns, std::uint32_t pool,
                   const Formats& f, Random& rnd) {
  for (int c = 0; c < columns; ++c) {
    lxw_col_t col = static_cast<lxw_col_t>(c);
    switch (c % 10) {
      case 0:
      case 5:
      case 9:
        worksheet_write_string(ws, row, col, poolString(rnd.below(pool)).c_str(), nullptr);
        break;
      case 1:
        worksheet_write_number(ws, row, col, double(rnd.below(10000000)) / 100, f.money);
        break;
      case 2:
        worksheet_write_number(ws, row, col, 36526 + rnd.below(9000), f.date);
        break;
      case 3:
        worksheet_write_boolean(ws, row, col, int(rnd.below(2)), nullptr);
        break;
      case 4:
        worksheet_write_number(ws, row, col, double(rnd.below(100000)), nullptr);
        break;
      case 6:
        worksheet_write_number(ws, row, col, rnd.uniform(), f.percent);
        break;
      case 7:
        worksheet_write_number(ws, row, col, (rnd.uniform() - 0.5) * 1e6, nullptr);
        break;
      case 8:
        worksheet_write_number(ws, row, col, 36526 + rnd.uniform() * 9000, f.dateTime);
        break;
    }
  }
}

struct Spec {
  std::string name;
  int sheets, rows, columns;
  bool mixed;
};

void writeWorkbook(const Spec& spec, const std::string& path) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.use_zip64 = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
  Formats f;
  f.money = workbook_add_format(wb);
  format_set_num_format(f.money, "#,##0.00");
  f.date = workbook_add_format(wb);
  format_set_num_format(f.date, "yyyy-mm-dd");
  f.dateTime = workbook_add_format(wb);
  format_set_num_format(f.dateTime, "m/d/yyyy h:mm");
  f.percent = workbook_add_format(wb);
  format_set_num_format(f.percent, "0.0%");
  std::uint32_t pool = std::uint32_t(std::max(1, spec.sheets * spec.rows / 10));
  Random rnd(spec.rows * 31 + spec.columns);
  for (int s = 0; s < spec.sheets; ++s) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, ("Sheet" + std::to_string(s + 1)).c_str());
    for (int r = 0; r < spec.rows; ++r) {
      lxw_row_t row = static_cast<lxw_row_t>(r);
      if (spec.mixed) {
        writeMixedRow(ws, row, spec.columns, pool, f, rnd);
      } else {
        for (int c = 0; c < spec.columns; ++c)
          worksheet_write_number(
              ws, row, static_cast<lxw_col_t>(c),
              c % 2 ? double(rnd.below(1000000)) : std::round(rnd.uniform() * 1e8) / 1e4, nullptr);
      }
    }
  }
  if (workbook_close(wb) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
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
  const std::vector<Spec> specs = {{"numbers_200k", 1, 200000, 10, false},
                                   {"mixed_200k", 1, 200000, 10, true},
                                   {"sheets_20x20k", 20, 20000, 20, true},
                                   {"mixed_1m", 1, 1000000, 10, true}};
  for (const Spec& spec : specs) {
    bool wanted = argc == 2;
    for (int i = 2; i < argc; ++i) wanted |= spec.name == argv[i];
    if (!wanted) continue;
    std::string path = (folder / (spec.name + ".xlsx")).string();
    writeWorkbook(spec, path);
    if (spec.mixed) moveStringsToTable(path);
    std::printf("%s: %.1f MB\n", path.c_str(), double(fs::file_size(path)) / 1e6);
  }
  return 0;
}
