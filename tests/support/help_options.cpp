#include "tests/support/help_options.h"

#include <cctype>
#include <filesystem>
#include <sstream>

#include "tests/support/test_support.h"

namespace quorvel::test {

std::vector<std::string> ListedOptions(const std::string& helpText) {
  std::vector<std::string> options;
  std::istringstream lines(helpText);
  bool inOptions = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Options:") {
      inOptions = true;
      continue;
    }
    if (!inOptions) continue;
    if (line.empty()) break;
    const std::size_t start = line.find_first_not_of(' ');
    if (start == 0 || start == std::string::npos || line[start] != '-') continue;
    std::istringstream names(line.substr(start, line.find(' ', start) - start));
    for (std::string name; std::getline(names, name, ',');)
      if (!name.empty()) options.push_back(name);
  }
  return options;
}

bool MentionsOption(const std::string& text, const std::string& option) {
  auto partOfName = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
  };
  for (std::size_t at = text.find(option); at != std::string::npos;
       at = text.find(option, at + 1)) {
    const std::size_t end = at + option.size();
    if ((at == 0 || !partOfName(text[at - 1])) && (end == text.size() || !partOfName(text[end])))
      return true;
  }
  return false;
}

std::string ReadFolder(const std::string& folder, const std::string& extension) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == extension) all += readFile(entry.path().string()) + "\n";
  return all;
}

}  // namespace quorvel::test
