#pragma once
// The engine's private state beyond the shared values: the random-name
// generator and what the conversion of the current workbook has written.
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace quorvel {

struct Engine::Impl {
  // Seeded once: reseeding per name from the clock drew the same number for
  // names made in the same second, and the second file overwrote the first.
  std::mt19937 random{std::random_device{}()};
  // Base names written for the workbook being converted, so that a drawn
  // name never replaces a file of this run.
  std::set<std::string> namesWritten;
  std::vector<SheetConversion> converted;
};

}  // namespace quorvel
