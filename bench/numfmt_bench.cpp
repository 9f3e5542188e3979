// Cells per second of the number formats a conversion meets most: General,
// fixed decimals, a date with time, and a fraction, each over a million
// values, through the cell formatter as the text writer calls it.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/spreadsheet/numfmt/cell_formatter.h"

namespace {

using quorvel::spreadsheet::CellFormatter;

constexpr std::size_t kValues = 1'000'000;

enum Style : std::uint32_t { kGeneral, kFixed, kDateTime, kFraction };

// Half whole numbers, half amounts with cents, as spreadsheets hold them.
std::vector<double> amounts() {
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<int> cents(0, 100'000'000);
  std::vector<double> v(kValues);
  for (std::size_t i = 0; i < kValues; ++i)
    v[i] = i % 2 ? cents(rng) / 100.0 : static_cast<double>(cents(rng) / 100);
  return v;
}

// Date-times between 2000 and 2030, to the second.
std::vector<double> dateTimes() {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int> seconds(0, 30 * 365 * 86400);
  std::vector<double> v(kValues);
  for (double& x : v) x = 36526 + seconds(rng) / 86400.0;
  return v;
}

std::vector<double> measures() {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> d(0, 1000);
  std::vector<double> v(kValues);
  for (double& x : v) x = d(rng);
  return v;
}

CellFormatter formatter() {
  CellFormatter f;
  f.defineFormat(164, "m/d/yyyy h:mm");
  f.setStyleFormats({0, 4, 164, 12});
  return f;
}

void run(benchmark::State& state, Style style, const std::vector<double>& values) {
  CellFormatter f = formatter();
  std::string out;
  out.reserve(64);
  for (auto _ : state) {
    for (double v : values) {
      out.clear();
      f.appendNumber(style, v, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

void General(benchmark::State& state) { run(state, kGeneral, amounts()); }
void FixedDecimals(benchmark::State& state) { run(state, kFixed, amounts()); }
void DateTime(benchmark::State& state) { run(state, kDateTime, dateTimes()); }
void Fraction(benchmark::State& state) { run(state, kFraction, measures()); }

BENCHMARK(General)->Unit(benchmark::kMillisecond);
BENCHMARK(FixedDecimals)->Unit(benchmark::kMillisecond);
BENCHMARK(DateTime)->Unit(benchmark::kMillisecond);
BENCHMARK(Fraction)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
