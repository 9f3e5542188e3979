// Times the conversion of a large legacy workbook: a 65,000-row x 10-column
// mixed .xls written with the tests' BIFF8 writer, converted by the
// component's nine steps in a child process so its peak memory is its own.
//
//   xls_bench [rows] [runs]        generate, convert `runs` times, report
//   xls_bench --convert FILE DIR   (the child) convert every sheet of FILE
//   xls_bench --read FILE          (the child) read and format every cell only
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"
#include "tests/support/biff_writer.h"

namespace {

using namespace quorvel;

int convert(const std::string& file, const std::string& dir) {
  auto app = spreadsheet::createApplication();
  try {
    spreadsheet::Workbook& book = app->open(file);
    app->setDisplayAlerts(false);
    for (int s = 1; s <= book.worksheetCount(); ++s) {
      book.selectSheet(s);
      book.saveAs(dir + "/sheet" + std::to_string(s) + ".txt", spreadsheet::xlCurrentPlatformText);
    }
    book.close();
    app->quit();
  } catch (const spreadsheet::SpreadsheetError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

// The reader alone: every cell read and formatted, nothing written.
int readOnly(const std::string& file) {
  auto book = spreadsheet::openWorkbookReader(file, {});
  std::string shown;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < book->worksheets().size(); ++i) {
    auto cursor = book->openWorksheet(i);
    spreadsheet::Cell cell;
    while (cursor->next(cell)) {
      shown.clear();
      if (cell.kind == spreadsheet::CellKind::Number)
        book->formatter().appendNumber(cell.style, cell.number, shown);
      else
        book->formatter().appendText(cell.style, cell.text, shown);
      bytes += shown.size();
    }
  }
  return bytes > 0 ? 0 : 1;
}

// The generator's mixed sheet: integers and decimals (RK and Number),
// unique and repeated shared strings, dates, percentages, booleans and
// formulas with cached numbers and strings.
std::string generate(int rows) {
  test::WorkbookWriter w;
  w.addFormat(164, "0.00%");
  std::uint16_t general = w.addXf(0), date = w.addXf(14), percent = w.addXf(164),
                money = w.addXf(4);
  std::size_t s = w.addSheet("Mixed");
  w.labelSst(s, 0, 0, w.sharedString("id"));
  const char* heads[] = {"amount", "name", "date",  "ratio", "flag",
                         "total",  "city", "price", "note"};
  for (int c = 0; c < 9; ++c)
    w.labelSst(s, 0, static_cast<std::uint16_t>(c + 1), w.sharedString(heads[c]));
  const char* cities[] = {"Lisbon", "Oslo", "Quito", "Hanoi", "Accra", "Lima", "Perth", "Riga"};
  std::vector<std::uint32_t> cityIndex;
  for (const char* c : cities) cityIndex.push_back(w.sharedString(c));
  for (int r = 1; r < rows; ++r) {
    auto row = static_cast<std::uint16_t>(r);
    std::uint32_t rk;
    test::encodeRk(r, rk);
    w.rk(s, row, 0, rk, general);
    w.number(s, row, 1, r * 1.37 + 0.001 * (r % 97), money);
    w.labelSst(s, row, 2, w.sharedString("customer " + std::to_string(r * 7919 % 100000)));
    test::encodeRk(40000 + r % 3000, rk);
    w.rk(s, row, 3, rk, date);
    w.number(s, row, 4, (r % 1000) / 1000.0 + 0.0001, percent);
    w.boolErr(s, row, 5, r % 3 == 0, false);
    w.formulaNumber(s, row, 6, r * 2.5);
    w.labelSst(s, row, 7, cityIndex[static_cast<std::size_t>(r) % cityIndex.size()]);
    w.number(s, row, 8, 1000.0 / (r + 3), general);
    if (r % 5 == 0)
      w.formulaOther(s, row, 9, 0, 0, "note " + std::to_string(r));
    else
      w.labelSst(s, row, 9, cityIndex[static_cast<std::size_t>(r * 3) % cityIndex.size()]);
  }
  return w.file();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--convert") return convert(argv[2], argv[3]);
  if (argc == 3 && std::string(argv[1]) == "--read") return readOnly(argv[2]);
  int rows = argc > 1 ? std::atoi(argv[1]) : 65000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  char dirTemplate[] = "/tmp/quorvel-xls-bench-XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  std::string dir = dirTemplate, file = dir + "/mixed.xls";
  // Generated in a child of its own: a forked child's peak memory starts
  // from its parent's, which must stay small.
  pid_t generator = fork();
  if (generator == 0) {
    std::ofstream(file, std::ios::binary) << generate(rows);
    _exit(0);
  }
  int generated = 0;
  waitpid(generator, &generated, 0);
  if (!WIFEXITED(generated) || WEXITSTATUS(generated) != 0) return 1;
  std::printf("xls: %d rows x 10 columns, %.1f MB\n", rows,
              static_cast<double>(std::filesystem::file_size(file)) / 1e6);
  // Wall time counts the machine's other work too: CPU time is the steadier figure.
  std::vector<double> seconds, cpuSeconds;
  long peakKb = 0;
  for (int i = 0; i < runs + 1; ++i) {
    // The last run reads without writing: the reader's own share.
    bool readRun = i == runs;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
      if (readRun)
        execl("/proc/self/exe", argv[0], "--read", file.c_str(), static_cast<char*>(nullptr));
      else
        execl("/proc/self/exe", argv[0], "--convert", file.c_str(), dir.c_str(),
              static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "conversion failed\n");
      return 1;
    }
    auto secondsOf = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    double cpu = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    if (readRun) {
      std::printf("  reading only: %.3f s wall, %.3f s CPU, peak %.1f MB\n", s, cpu,
                  usage.ru_maxrss / 1024.0);
      break;
    }
    seconds.push_back(s);
    cpuSeconds.push_back(cpu);
    peakKb = std::max(peakKb, usage.ru_maxrss);
    std::printf("  run %d: %.3f s wall, %.3f s CPU, peak %.1f MB\n", i + 1, s, cpu,
                usage.ru_maxrss / 1024.0);
  }
  if (seconds.empty()) return 0;
  std::sort(seconds.begin(), seconds.end());
  std::sort(cpuSeconds.begin(), cpuSeconds.end());
  std::printf(
      "xls: wall best %.3f s, median %.3f s; CPU best %.3f s; peak memory %.1f MB "
      "(goal: < 0.35 s, < 30 MB)\n",
      seconds.front(), seconds[seconds.size() / 2], cpuSeconds.front(), peakKb / 1024.0);
  std::printf("output: %.1f MB of text\n",
              static_cast<double>(std::filesystem::file_size(dir + "/sheet1.txt")) / 1e6);
  std::filesystem::remove_all(dir);
  return 0;
}
