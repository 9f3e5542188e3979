// What decryption adds to converting a workbook: the same workbook is
// converted plain and encrypted with the application's default password
// (Agile encryption: AES-256, SHA-512, 100,000 spins, in a version 4
// compound file, as the application writes it), interleaved, each conversion
// in a fresh process so its peak memory is its own. scripts/bench-encrypted
// runs it on the mixed 200,000-row benchmark workbook.
//
//   encrypted_workbook_bench [--repeat N] PLAIN.xlsx
//
// The steps also run alone, to look at one with other tools:
//   encrypted_workbook_bench --encrypt PLAIN.xlsx OUT.xlsx
//   encrypted_workbook_bench --convert WORKBOOK OUTDIR
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Converts every worksheet of `path` into `outDir`.
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

int encryptWithDefaultPassword(const std::string& plain, const std::string& out) {
  auto e = test::encryptAgile(test::readFile(plain), u"VelvetSweatshop");
  test::writeFile(out, test::compoundFileOf(e, 4));
  return 0;
}

struct Run {
  double seconds;     // wall clock
  double cpuSeconds;  // user + system: what a shared machine disturbs least
  long peakKiB;
};

// Runs this program again with `args`. A forked child keeps its parent's
// resident pages in its peak, so it execs itself afresh, and this process
// stays small by leaving all real work to children.
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
  double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return {seconds, cpu, usage.ru_maxrss};
}

// Median wall clock, best CPU time, highest peak.
Run summary(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  Run s = runs[runs.size() / 2];
  for (const Run& r : runs) {
    s.cpuSeconds = std::min(s.cpuSeconds, r.cpuSeconds);
    s.peakKiB = std::max(s.peakKiB, r.peakKiB);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode == "--convert") return convert(argv[2], argv[3]);
  if (mode == "--encrypt") return encryptWithDefaultPassword(argv[2], argv[3]);
  int runs = 5;
  std::string plain;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--repeat" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      plain = argv[i];
  }
  if (plain.empty()) {
    std::fprintf(stderr, "usage: encrypted_workbook_bench [--repeat N] PLAIN.xlsx\n");
    return 2;
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  test::TempDir dir;
  const std::string encrypted = dir.file("encrypted.xlsx");
  runSelf(self, {"--encrypt", plain, encrypted});
  fs::create_directory(dir.file("out"));

  std::vector<Run> plainRuns, encryptedRuns;
  for (int i = 0; i < runs; ++i) {  // interleaved, so both see the same machine load
    plainRuns.push_back(runSelf(self, {"--convert", plain, dir.file("out")}));
    encryptedRuns.push_back(runSelf(self, {"--convert", encrypted, dir.file("out")}));
  }
  Run p = summary(plainRuns), c = summary(encryptedRuns);
  std::printf("%s: %.1f MB plain, %.1f MB encrypted; %d runs each\n",
              fs::path(plain).filename().c_str(), fs::file_size(plain) / 1e6,
              fs::file_size(encrypted) / 1e6, runs);
  std::printf("            wall (median)  CPU (best)  peak\n");
  std::printf("plain       %8.3f s     %7.3f s  %ld KiB\n", p.seconds, p.cpuSeconds, p.peakKiB);
  std::printf("encrypted   %8.3f s     %7.3f s  %ld KiB\n", c.seconds, c.cpuSeconds, c.peakKiB);
  std::printf(
      "decryption adds %.1f%% CPU time, %.1f%% wall clock (goal: under 50%%), %+ld KiB peak\n",
      100.0 * (c.cpuSeconds - p.cpuSeconds) / p.cpuSeconds,
      100.0 * (c.seconds - p.seconds) / p.seconds, c.peakKiB - p.peakKiB);
  return 0;
}
