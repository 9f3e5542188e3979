#pragma once
// The in-memory window for engine tests (the implementation lives beside
// the engine, which the command-line converter shares), and helpers that
// set up the lists the way the window's handlers leave them.
#include <string>
#include <utility>
#include <vector>

#include "engine/memory_window.h"

namespace quorvel::test {

// Replaces the list's entries with (text, ticked) pairs and selects `select`.
void fillList(EntryList& list, const std::vector<std::pair<std::string, bool>>& entries,
              int select = 1);

// Texts of the messages shown, in order.
std::vector<std::string> messageTexts(const MemoryWindow& window);

}  // namespace quorvel::test
