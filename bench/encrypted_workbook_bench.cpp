// What decryption adds to converting a workbook: the same mixed workbook is
// converted plain and encrypted with the application's default password
// (Agile encryption: AES-256, SHA-512, 100,000 spins, as the application
// writes it), each conversion in a fresh process so its peak memory is its
// own.
//
//   encrypted_workbook_bench [ROWS=200000] [RUNS=3] [PLAIN.xlsx]
//
// With PLAIN.xlsx, that workbook is used instead of a generated one. The
// steps also run alone, to look at one with other tools:
//   encrypted_workbook_bench --generate ROWS OUT.xlsx
//   encrypted_workbook_bench --encrypt PLAIN.xlsx OUT.xlsx
//   encrypted_workbook_bench --convert WORKBOOK OUTDIR
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"
#include "tests/support/ooxml_encryptor.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

// Numbers, formatted numbers, repeated and unique text, dates, booleans and
// formulas with cached results, on two worksheets.
void generateMixedWorkbook(const std::string& path, int rows) {
  lxw_workbook* wb = workbook_new(path.c_str());
  lxw_format* money = workbook_add_format(wb);
  format_set_num_format(money, "#,##0.00");
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "yyyy-mm-dd");
  lxw_format* pct = workbook_add_format(wb);
  format_set_num_format(pct, "0.0%");
  const char* regions[] = {"North", "South", "East", "West", "Central"};
  for (int s = 0; s < 2; ++s) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, s == 0 ? "Data" : "More");
    int n = s == 0 ? rows * 3 / 4 : rows - rows * 3 / 4;
    for (int r = 0; r < n; ++r) {
      worksheet_write_number(ws, r, 0, r + 1, nullptr);
      worksheet_write_number(ws, r, 1, (r * 7919 % 100000) / 7.0, money);
      worksheet_write_string(ws, r, 2, regions[r % 5], nullptr);
      std::string note =
          "item " + std::to_string(r * 31 % 9973) + " of batch " + std::to_string(r / 100);
      worksheet_write_string(ws, r, 3, note.c_str(), nullptr);
      worksheet_write_number(ws, r, 4, 40000 + r % 3000, date);
      worksheet_write_boolean(ws, r, 5, r % 3 == 0, nullptr);
      worksheet_write_number(ws, r, 6, (r % 1000) / 1000.0, pct);
      std::string formula = "=A" + std::to_string(r + 1) + "*2";
      worksheet_write_formula_num(ws, r, 7, formula.c_str(), nullptr, 2.0 * (r + 1));
    }
  }
  if (workbook_close(wb) != LXW_NO_ERROR) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// The child's work: convert every worksheet of `path` into `outDir`.
int convert(const std::string& path, const std::string& outDir) {
  try {
    auto app = spreadsheet::createApplication();
    spreadsheet::Workbook& book = app->open(path);
    app->setDisplayAlerts(false);
    for (int s = 1; s <= book.worksheetCount(); ++s) {
      book.selectSheet(s);
      book.saveAs(outDir + "/" + std::to_string(s) + ".txt", spreadsheet::xlCurrentPlatformText);
    }
    book.close();
    app->quit();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

struct Run {
  double seconds;
  long peakKiB;
};

// Runs this program again with `args`, so the child's peak memory is its
// own: a forked child would start with the parent's.
Run runSelf(const std::string& self, std::vector<std::string> args) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(self.c_str())};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(self.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s %s failed\n", args[0].c_str(), args[1].c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

Run median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  Run m = runs[runs.size() / 2];
  for (const Run& r : runs) m.peakKiB = std::max(m.peakKiB, r.peakKiB);
  return m;
}

void encryptWithDefaultPassword(const std::string& plain, const std::string& out) {
  auto e = test::encryptAgile(test::readFile(plain), u"VelvetSweatshop");
  // Version 4's 4096-byte sectors, as the application writes large files.
  test::writeFile(out, test::compoundFileOf(e, 4));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode == "--convert") return convert(argv[2], argv[3]);
  if (mode == "--generate") return generateMixedWorkbook(argv[3], std::atoi(argv[2])), 0;
  if (mode == "--encrypt") return encryptWithDefaultPassword(argv[2], argv[3]), 0;
  const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string self = fs::read_symlink("/proc/self/exe").string();

  test::TempDir dir;
  std::string plain = dir.file("plain.xlsx"), encrypted = dir.file("encrypted.xlsx");
  // Generated and encrypted in children too, so this process stays small.
  if (argc > 3)
    plain = argv[3];
  else
    runSelf(self, {"--generate", std::to_string(rows), plain});
  runSelf(self, {"--encrypt", plain, encrypted});
  fs::create_directory(dir.file("out"));

  std::vector<Run> plainRuns, encryptedRuns;
  for (int i = 0; i < runs; ++i) {  // interleaved, so both see the same machine load
    plainRuns.push_back(runSelf(self, {"--convert", plain, dir.file("out")}));
    encryptedRuns.push_back(runSelf(self, {"--convert", encrypted, dir.file("out")}));
  }
  Run p = median(plainRuns), c = median(encryptedRuns);
  std::printf("workbook: %d rows, %.1f MB plain, %.1f MB encrypted\n", rows,
              fs::file_size(plain) / 1e6, fs::file_size(encrypted) / 1e6);
  std::printf("plain:     %.3f s (median of %d), peak %ld KiB\n", p.seconds, runs, p.peakKiB);
  std::printf("encrypted: %.3f s (median of %d), peak %ld KiB\n", c.seconds, runs, c.peakKiB);
  std::printf(
      "decryption adds %.1f%% of the plain conversion time (goal: under 50%%), peak memory %+ld "
      "KiB\n",
      100.0 * (c.seconds - p.seconds) / p.seconds, c.peakKiB - p.peakKiB);
  return 0;
}
