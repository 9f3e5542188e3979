#include "tests/support/memory_window.h"

namespace quorvel::test {

void fillList(EntryList& list, const std::vector<std::pair<std::string, bool>>& entries,
              int select) {
  list.clear();
  for (const auto& [text, ticked] : entries) list.setTicked(list.add(text), ticked);
  list.select(entries.empty() ? 0 : select);
}

std::vector<std::string> messageTexts(const MemoryWindow& window) {
  std::vector<std::string> out;
  for (const auto& m : window.desk.messages) out.push_back(m.text);
  return out;
}

}  // namespace quorvel::test
