// Converts a large generated .xlsb workbook through the nine steps and
// reports time and peak memory, beside the same content as .xlsx and the
// time it takes only to inflate each package's sheet parts. "read" is the
// reader alone (every cell, nothing formatted or written): the text writer's
// share is the same whatever the format, so an .xlsb read faster than the
// .xlsx's inflation alone means an .xlsb conversion faster than the .xlsx's.
//
//   xlsb_conversion [rows] [folder]      (default 200000 rows, /tmp/quorvel-bench-xlsb)
//
// Each conversion runs in a fresh child process (this program, re-executed
// with --convert), which reports its own peak resident memory (VmHWM: the
// rusage of a child would include the parent's memory from before exec) and
// its CPU time, steadier than wall time on a shared machine.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/xlsb/record_types.h"
#include "tests/support/xlsb_writer.h"

namespace {

using namespace quorvel::spreadsheet;
using namespace quorvel::test::xlsb;
using namespace quorvel::spreadsheet::xlsb;
using Clock = std::chrono::steady_clock;

constexpr int kColumns = 10;
constexpr int kRuns = 3;
const char* const kCities[] = {"Amsterdam", "Berlin", "Cairo",  "Dakar",    "Edinburgh",
                               "Florence",  "Geneva", "Hanoi",  "Istanbul", "Jakarta",
                               "Kyoto",     "Lagos",  "Madrid", "Nairobi",  "Oslo",
                               "Porto",     "Quito",  "Riga",   "Seoul",    "Tunis"};

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The cells of one row, the same in both packages: an id, a measurement, a
// repeated label, a date, a flag, a unique text, a percentage, a price, a
// city and a formula's cached sum.
struct RowValues {
  double id, measure, date, percent, price, sum;
  bool flag;
  std::string label, unique, city;
};

RowValues valuesOf(std::uint32_t r) {
  RowValues v;
  v.id = r;
  v.measure = std::sin(r) * 10000;  // full-precision doubles, as measured data are
  v.label = "item " + std::to_string(r % 1000);
  v.date = 43831 + r % 3650;
  v.flag = r % 3 == 0;
  v.unique = "unique text " + std::to_string(r);
  v.percent = std::fmod(r * 0.6180339887498949, 1.0);
  v.price = (r % 100000) / 100.0;
  v.city = kCities[r % 20];
  v.sum = v.id + v.measure;
  return v;
}

const char* const kHeaders[kColumns] = {"id",      "measure", "label", "date", "flag",
                                        "comment", "share",   "price", "city", "total"};
enum Style : std::uint32_t { kGeneral = 0, kDate = 1, kPercent = 2, kMoney = 3 };

void writeXlsb(const std::string& path, std::uint32_t rows) {
  WorkbookWriter book;
  book.setCellStyles({0, 14, 10, 4});
  std::vector<std::uint32_t> header, labels, cities;
  for (const char* h : kHeaders) header.push_back(book.addSharedString(h));
  for (int i = 0; i < 1000; ++i)
    labels.push_back(book.addSharedString("item " + std::to_string(i)));
  for (const char* c : kCities) cities.push_back(book.addSharedString(c));
  // A parsed formula for =A2+B2: two PtgRef and a PtgAdd, no extra data.
  const std::string formula = Payload()
                                  .u16(0)
                                  .u32(15)
                                  .u8(0x24)
                                  .u32(0)
                                  .u16(0xC000)
                                  .u8(0x24)
                                  .u32(0)
                                  .u16(0xC001)
                                  .u8(0x03)
                                  .u32(0)
                                  .str();
  SheetWriter s;
  s.row(0);
  for (int c = 0; c < kColumns; ++c) s.sharedString(c, header[c]);
  for (std::uint32_t r = 1; r <= rows; ++r) {
    RowValues v = valuesOf(r);
    s.row(r);
    s.cell(BrtCellRk, 0, kGeneral, Payload().u32(rkInteger(static_cast<std::int32_t>(r))));
    s.number(1, v.measure);
    s.sharedString(2, labels[r % 1000]);
    s.cell(BrtCellRk, 3, kDate, Payload().u32(rkInteger(static_cast<std::int32_t>(v.date))));
    s.boolean(4, v.flag);
    s.sharedString(5, book.addSharedString(v.unique));
    s.number(6, v.percent, kPercent);
    s.cell(BrtCellRk, 7, kMoney,
           Payload().u32(rkInteger(static_cast<std::int32_t>(r % 100000), true)));
    s.sharedString(8, cities[r % 20]);
    s.cell(BrtFmlaNum, 9, kGeneral, Payload().f64(v.sum).bytes(formula));
  }
  book.addSheet({"Data", 0, "worksheet", s.finish()});
  book.save(path);
}

void writeXlsx(const std::string& path, std::uint32_t rows) {
  lxw_workbook* wb = workbook_new(path.c_str());
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Data");
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format_index(date, 14);
  lxw_format* percent = workbook_add_format(wb);
  format_set_num_format_index(percent, 10);
  lxw_format* money = workbook_add_format(wb);
  format_set_num_format_index(money, 4);
  for (int c = 0; c < kColumns; ++c) worksheet_write_string(ws, 0, c, kHeaders[c], nullptr);
  for (std::uint32_t r = 1; r <= rows; ++r) {
    RowValues v = valuesOf(r);
    worksheet_write_number(ws, r, 0, v.id, nullptr);
    worksheet_write_number(ws, r, 1, v.measure, nullptr);
    worksheet_write_string(ws, r, 2, v.label.c_str(), nullptr);
    worksheet_write_number(ws, r, 3, v.date, date);
    worksheet_write_boolean(ws, r, 4, v.flag, nullptr);
    worksheet_write_string(ws, r, 5, v.unique.c_str(), nullptr);
    worksheet_write_number(ws, r, 6, v.percent, percent);
    worksheet_write_number(ws, r, 7, v.price, money);
    worksheet_write_string(ws, r, 8, v.city.c_str(), nullptr);
    std::string f = "=A" + std::to_string(r + 1) + "+B" + std::to_string(r + 1);
    worksheet_write_formula_num(ws, r, 9, f.c_str(), nullptr, v.sum);
  }
  if (workbook_close(wb) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

// The child's work: the nine steps on every worksheet, or (`readOnly`) only
// the reader's cells, unformatted and unwritten. Prints the wall and CPU
// seconds and the peak resident kilobytes.
int convertInChild(const std::string& path, const std::string& out, bool readOnly) {
  auto start = Clock::now();
  try {
    if (readOnly) {
      auto reader = openWorkbookReader(path, {});
      std::uint64_t cells = 0;
      for (std::size_t i = 0; i < reader->worksheets().size(); ++i) {
        auto cursor = reader->openWorksheet(i);
        Cell cell;
        while (cursor->next(cell)) ++cells;
      }
      if (cells == 0) throw SpreadsheetError(ErrorCode::Damaged, "no cells");
    } else {
      auto app = createApplication();
      Workbook& book = app->open(path);
      app->setDisplayAlerts(false);
      int n = book.worksheetCount();
      for (int i = 1; i <= n; ++i) {
        book.worksheetName(i);
        book.selectSheet(i);
        book.saveAs(out, xlCurrentPlatformText);
      }
      book.close();
      app->quit();
    }
  } catch (const FormatError& e) {
    std::printf("error %s\n", e.what());
    return 1;
  } catch (const SpreadsheetError& e) {
    std::printf("error %s\n", e.description().c_str());
    return 1;
  }
  double wall = seconds(start);
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  double cpu = self.ru_utime.tv_sec + self.ru_stime.tv_sec +
               (self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
  long peakKb = 0;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::strncmp(line, "VmHWM:", 6) == 0) peakKb = std::atol(line + 6);
    std::fclose(f);
  }
  std::printf("%.6f %.6f %ld\n", wall, cpu, peakKb);
  return 0;
}

struct Run {
  bool ok = false;
  double seconds = 0, cpu = 0;
  double peakMb = 0;
  std::string error;
};

Run runChild(const std::string& self, const std::string& mode, const std::string& path,
             const std::string& out) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    execl(self.c_str(), self.c_str(), mode.c_str(), path.c_str(), out.c_str(), nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  ssize_t got;
  while ((got = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Run run;
  long peakKb = 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
      std::sscanf(text.c_str(), "%lf %lf %ld", &run.seconds, &run.cpu, &peakKb) == 3) {
    run.ok = true;
    run.peakMb = peakKb / 1024.0;
  } else {
    run.error = text.empty() ? "child failed" : text.substr(0, text.find('\n'));
  }
  return run;
}

// Inflates the worksheet parts and nothing else: no conversion can be faster.
double inflateSeconds(const std::string& path) {
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    auto start = Clock::now();
    auto package = ZipPackage::open(path);
    std::vector<char> buffer(64 << 10);
    for (const std::string& name : package->partNames()) {
      if (name.rfind("xl/worksheets/sheet", 0) != 0) continue;
      auto part = package->openPart(name);
      while (part->read(buffer.data(), buffer.size()) > 0) {
      }
    }
    best = std::min(best, seconds(start));
  }
  return best;
}

std::vector<Run> runs(const std::string& self, const std::string& mode, const std::string& path,
                      const std::string& out) {
  std::vector<Run> list;
  for (int i = 0; i < kRuns; ++i) list.push_back(runChild(self, mode, path, out));
  std::sort(list.begin(), list.end(),
            [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  return list;
}

void printRuns(const char* what, const std::vector<Run>& list) {
  if (!list[0].ok) {
    std::printf("  %s: %s\n", what, list[0].error.c_str());
    return;
  }
  double cpu = 1e9, peak = 0;
  for (const Run& r : list) cpu = std::min(cpu, r.cpu), peak = std::max(peak, r.peakMb);
  std::printf("  %-8s wall %6.3f s (median of %d)  cpu %6.3f s (best)  peak %5.1f MB\n", what,
              list[kRuns / 2].seconds, kRuns, cpu, peak);
}

void report(const char* label, const std::string& self, const std::string& path,
            const std::string& out) {
  std::printf("%s: %.1f MB, inflating its sheet parts alone %.3f s\n", label,
              std::filesystem::file_size(path) / 1048576.0, inflateSeconds(path));
  printRuns("read", runs(self, "--read", path, out));
  printRuns("convert", runs(self, "--convert", path, out));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--convert") == 0)
    return convertInChild(argv[2], argv[3], false);
  if (argc == 4 && std::strcmp(argv[1], "--read") == 0)
    return convertInChild(argv[2], argv[3], true);
  std::uint32_t rows = argc > 1 ? static_cast<std::uint32_t>(std::atol(argv[1])) : 200000;
  std::filesystem::path dir = argc > 2 ? argv[2] : "/tmp/quorvel-bench-xlsb";
  std::filesystem::create_directories(dir);
  std::string self = std::filesystem::canonical("/proc/self/exe").string();
  std::string xlsb = (dir / ("mixed_" + std::to_string(rows) + ".xlsb")).string();
  std::string xlsx = (dir / ("mixed_" + std::to_string(rows) + ".xlsx")).string();
  std::string out = (dir / "sheet.txt").string();

  if (!std::filesystem::exists(xlsb)) {
    auto start = Clock::now();
    writeXlsb(xlsb, rows);
    std::printf("wrote %s in %.1f s\n", xlsb.c_str(), seconds(start));
  }
  if (!std::filesystem::exists(xlsx)) {
    auto start = Clock::now();
    writeXlsx(xlsx, rows);
    std::printf("wrote %s in %.1f s\n", xlsx.c_str(), seconds(start));
  }
  std::printf("%u rows x %d mixed columns, one worksheet\n", rows, kColumns);
  report("xlsb", self, xlsb, out);
  report("xlsx", self, xlsx, out);
  return 0;
}
