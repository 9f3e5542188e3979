// Throughput of quorvel-convert with one and with two jobs: a folder of 200
// small generated workbooks and a folder of a few large ones. Then the
// pipeline features: each large workbook's first worksheet to standard
// output piped into wc -l against the same to a file, and the small folder
// as 4 shards run by GNU parallel against one run with -j 2.
//   cli_throughput [QUORVEL_CONVERT] [--small N] [--large N] [--large-rows N]
//                  [--large-workbook FILE]... [--repeat N]
// QUORVEL_CONVERT defaults to the converter of the same build tree. Given
// --large-workbook files (the reader benchmarks' workbooks), the large set is
// those files instead of generated ones.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using quorvel::test::GeneratedSheet;

namespace {

// A small workbook: two worksheets of 60 rows by 8 columns, mixed values.
std::vector<GeneratedSheet> smallWorkbook(int seed) {
  std::vector<GeneratedSheet> sheets;
  for (int s = 0; s < 2; ++s) {
    GeneratedSheet sheet{"Sheet" + std::to_string(s + 1), {}};
    for (int r = 0; r < 60; ++r) {
      std::vector<quorvel::test::GeneratedCell> row;
      for (int c = 0; c < 8; ++c)
        if (c % 3 == 0)
          row.emplace_back(std::in_place_index<0>,
                           "item " + std::to_string((seed * 7 + r * 3 + c) % 97));
        else
          row.emplace_back(std::in_place_index<1>, double(seed + r * 8 + c) / 4.0);
      sheet.rows.push_back(std::move(row));
    }
    sheets.push_back(std::move(sheet));
  }
  return sheets;
}

// A large workbook: one worksheet of `rows` rows by 10 columns.
std::vector<GeneratedSheet> largeWorkbook(int seed, int rows) {
  GeneratedSheet sheet{"Data", {}};
  for (int r = 0; r < rows; ++r) {
    std::vector<quorvel::test::GeneratedCell> row;
    for (int c = 0; c < 10; ++c)
      if (c % 4 == 0)
        row.emplace_back(std::in_place_index<0>,
                         "name " + std::to_string((seed + r * 13 + c) % 5000));
      else
        row.emplace_back(std::in_place_index<1>, double(r) * 1.25 + c + seed);
    sheet.rows.push_back(std::move(row));
  }
  return {std::move(sheet)};
}

struct Timing {
  double wall = 1e300;  // seconds
  double cpu = 0;       // user and system seconds of the converter
};

double childCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs `cmd` through the shell; wall time, and the CPU time of every
// process it started (the converter, and wc or GNU parallel and its shards).
Timing timeCommand(const std::string& cmd) {
  double cpuBefore = childCpuSeconds();
  auto start = std::chrono::steady_clock::now();
  int status = std::system(cmd.c_str());
  Timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = childCpuSeconds() - cpuBefore;
  if (status != 0) std::fprintf(stderr, "warning: '%s' exited with %d\n", cmd.c_str(), status);
  return t;
}

std::string q(const std::string& text) {
  return "'" + text + "'";
}

Timing timeRun(const std::string& exe, const fs::path& in, const fs::path& out, int jobs) {
  fs::remove_all(out);
  return timeCommand(q(exe) + " -q -j " + std::to_string(jobs) + " " + q(in.string()) + " -o " +
                     q(out.string()));
}

// The best (by wall time) of `repeat` runs of each command, taken in turn.
std::vector<Timing> bestOf(int repeat, const std::vector<std::function<Timing()>>& runs) {
  std::vector<Timing> best(runs.size());
  for (int i = 0; i < repeat; ++i)
    for (std::size_t r = 0; r < runs.size(); ++r) {
      Timing t = runs[r]();
      if (t.wall < best[r].wall) best[r] = t;
    }
  return best;
}

// A large workbook's first worksheet into a file, and to standard output
// piped into wc -l.
void measureStandardOutput(const std::string& exe, const std::vector<fs::path>& workbooks,
                           const fs::path& scratch, int repeat) {
  std::printf(
      "\n| first worksheet of | to a file: s | cpu s | -o - into wc -l: s | cpu s | ratio |\n");
  std::printf("| --- | --- | --- | --- | --- | --- |\n");
  for (const fs::path& book : workbooks) {
    const std::string args = q(exe) + " -q --sheet-index 1 " + q(book.string());
    const fs::path out = scratch / "file";
    auto best = bestOf(repeat, {[&] {
                                  fs::remove_all(out);
                                  return timeCommand(args + " -o " + q(out.string()));
                                },
                                [&] { return timeCommand(args + " -o - | wc -l >/dev/null"); }});
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.2fx |\n", book.filename().c_str(),
                best[0].wall, best[0].cpu, best[1].wall, best[1].cpu, best[1].wall / best[0].wall);
  }
}

// The folder as 4 shards under GNU parallel (-j 1 each) against one run
// with -j 2, both in the mirror layout.
void measureShards(const std::string& exe, const fs::path& in, const fs::path& scratch,
                   int workbooks, int repeat) {
  if (std::system("command -v parallel >/dev/null") != 0) {
    std::printf("\nGNU parallel is missing (scripts/setup installs it): no shard figures\n");
    return;
  }
  const fs::path out = scratch / "mirror";
  const std::string common = " -q -r --layout mirror " + q(in.string()) + " -o " + q(out.string());
  auto best = bestOf(repeat, {[&] {
                                fs::remove_all(out);
                                return timeCommand(q(exe) + " -j 2" + common);
                              },
                              [&] {
                                fs::remove_all(out);
                                return timeCommand("seq 0 3 | parallel -j 4 " + q(exe) +
                                                   " -j 1 --shard {}/4" + common);
                              }});
  std::printf("\n| %d small workbooks, mirror layout | seconds | cpu seconds | workbooks/s |\n",
              workbooks);
  std::printf("| --- | --- | --- | --- |\n");
  std::printf("| one run, -j 2 | %.2f | %.2f | %.1f |\n", best[0].wall, best[0].cpu,
              workbooks / best[0].wall);
  std::printf("| 4 shards, GNU parallel -j 4, each -j 1 | %.2f | %.2f | %.1f |\n", best[1].wall,
              best[1].cpu, workbooks / best[1].wall);
  std::printf("\nsharding overhead: %.2fx the wall time, %.2fx the CPU time\n",
              best[1].wall / best[0].wall, best[1].cpu / best[0].cpu);
}

void measure(const std::string& label, const std::string& exe, const fs::path& in,
             const fs::path& out, int workbooks, int repeat) {
  Timing best[3];
  for (int i = 0; i < repeat; ++i)
    for (int jobs : {1, 2}) {
      Timing t = timeRun(exe, in, out, jobs);
      if (t.wall < best[jobs].wall) best[jobs] = t;
    }
  for (int jobs : {1, 2})
    std::printf("| %s | %d | %d | %.2f | %.2f | %.1f | %.2fx |\n", label.c_str(), workbooks, jobs,
                best[jobs].wall, best[jobs].cpu, workbooks / best[jobs].wall,
                best[1].wall / best[jobs].wall);
}

}  // namespace

int main(int argc, char** argv) {
  std::string exe = (fs::path(argv[0]).parent_path() / ".." / "cli" / "quorvel-convert").string();
  int small = 200, large = 4, largeRows = 100000, repeat = 3;
  std::vector<std::string> largeFiles;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    if (a == "--small")
      small = next();
    else if (a == "--large")
      large = next();
    else if (a == "--large-rows")
      largeRows = next();
    else if (a == "--repeat")
      repeat = std::max(1, next());
    else if (a == "--large-workbook" && i + 1 < argc)
      largeFiles.push_back(argv[++i]);
    else
      exe = a;
  }
  quorvel::test::TempDir dir;
  fs::path smallIn = dir.path() / "small", largeIn = dir.path() / "large";
  fs::create_directories(smallIn);
  fs::create_directories(largeIn);
  for (int i = 0; i < small; ++i)
    quorvel::test::writeWorkbook((smallIn / ("book" + std::to_string(i) + ".xlsx")).string(),
                                 smallWorkbook(i));
  std::string largeLabel = "large (1 sheet x " + std::to_string(largeRows) + " rows x 10 columns)";
  if (!largeFiles.empty()) {
    large = static_cast<int>(largeFiles.size());
    largeLabel.clear();
    for (const auto& f : largeFiles) {
      fs::create_symlink(fs::absolute(f), largeIn / fs::path(f).filename());
      largeLabel += (largeLabel.empty() ? "" : ", ") + fs::path(f).filename().string();
    }
  } else {
    for (int i = 0; i < large; ++i)
      quorvel::test::writeWorkbook((largeIn / ("large" + std::to_string(i) + ".xlsx")).string(),
                                   largeWorkbook(i, largeRows));
  }

  double load[3] = {};
  getloadavg(load, 3);
  std::printf("%u cores, load average %.2f before the runs; best of %d runs each\n\n",
              std::thread::hardware_concurrency(), load[0], repeat);
  std::printf("| workbooks | count | -j | seconds | cpu seconds | workbooks/s | speed-up |\n");
  std::printf("| --- | --- | --- | --- | --- | --- | --- |\n");
  if (small > 0)
    measure("small (2 sheets x 60 rows x 8 columns)", exe, smallIn, dir.path() / "out", small,
            repeat);
  if (large > 0) measure(largeLabel, exe, largeIn, dir.path() / "out", large, repeat);
  std::vector<fs::path> largeBooks;
  for (const auto& e : fs::directory_iterator(largeIn)) largeBooks.push_back(e.path());
  std::sort(largeBooks.begin(), largeBooks.end());
  if (!largeBooks.empty()) measureStandardOutput(exe, largeBooks, dir.path(), repeat);
  if (small > 0) measureShards(exe, smallIn, dir.path(), small, repeat);
  return 0;
}
