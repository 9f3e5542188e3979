#include "tests/support/memory_window.h"

#include <stdexcept>

namespace quorvel {

MemoryEntryList::Entry& MemoryEntryList::at(int index) {
  if (index < 1 || index > count())
    throw std::out_of_range("entry " + std::to_string(index) + " of " + std::to_string(count()));
  return entries_[static_cast<std::size_t>(index - 1)];
}

const MemoryEntryList::Entry& MemoryEntryList::at(int index) const {
  return const_cast<MemoryEntryList*>(this)->at(index);
}

int MemoryEntryList::add(const std::string& text, int image, int position) {
  if (position < 1 || position > count()) position = count() + 1;
  entries_.insert(entries_.begin() + (position - 1), Entry{text, false, image});
  if (selected_ >= position) ++selected_;
  return position;
}

void MemoryEntryList::remove(int index) {
  at(index);
  entries_.erase(entries_.begin() + (index - 1));
  if (selected_ == index)
    selected_ = 0;
  else if (selected_ > index)
    --selected_;
}

void MemoryEntryList::clear() {
  entries_.clear();
  selected_ = 0;
}

void MemoryEntryList::select(int index) {
  if (index != 0) at(index);
  selected_ = index;
}

std::vector<std::string> MemoryEntryList::texts() const {
  std::vector<std::string> out;
  for (const Entry& e : entries_) out.push_back(e.text);
  return out;
}

std::vector<bool> MemoryEntryList::ticks() const {
  std::vector<bool> out;
  for (const Entry& e : entries_) out.push_back(e.ticked);
  return out;
}

std::string MemoryComboBox::entry(int index) const {
  return entries_.at(static_cast<std::size_t>(index));
}

void MemoryComboBox::insert(int index, const std::string& text) {
  if (index < 0 || index > count()) index = count();
  entries_.insert(entries_.begin() + index, text);
  if (selected_ >= index) ++selected_;
}

void MemoryComboBox::remove(int index) {
  entry(index);
  entries_.erase(entries_.begin() + index);
  if (selected_ == index)
    selected_ = -1;
  else if (selected_ > index)
    --selected_;
}

void MemoryComboBox::select(int index) {
  selected_ = index;
  if (index >= 0) text_ = entry(index);
}

}  // namespace quorvel

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
