// The names under which worksheets and workbook folders appear on disk.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>

#include "engine/engine.h"
#include "engine/engine_impl.h"

namespace quorvel {

namespace {

// Naming options: the positions of the naming-option box.
constexpr int kNameBySheet = 0;
constexpr int kNameByWorkbookAndSheet = 1;
constexpr int kNameByNumber = 2;

// Removed from every file name. Besides the five characters the platform
// users knew refuses, the path separator and NUL: a label such as "../x"
// must not write outside the workbook's folder, nor a NUL cut the path short.
constexpr char kRemovedCharacters[] = {
    ':', '"', '<', '>', '|', std::filesystem::path::preferred_separator, '\0'};

// After this many draws that all hit names already written, one more number
// is appended, so a run of many equal names still ends.
constexpr int kDrawsPerLength = 1000;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string removeRefusedCharacters(const std::string& name) {
  std::string clean;
  clean.reserve(name.size());
  for (char c : name)
    if (std::find(std::begin(kRemovedCharacters), std::end(kRemovedCharacters), c) ==
        std::end(kRemovedCharacters))
      clean += c;
  return clean;
}

}  // namespace

std::string StripExtension(const std::string& text) {
  auto dot = text.rfind('.');
  return dot == std::string::npos ? text : text.substr(0, dot);
}

std::string CleanFolderName(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != ' ' && c != '.') clean += c;
  return clean;
}

std::string Engine::MakeOutputFileName(int position, const std::string& sheetName) {
  EntryList& workbooks = window_.workbookList();
  std::string workbook = StripExtension(
      position >= 1 && position <= workbooks.count() ? workbooks.text(position) : "");
  std::string name = sheetName;
  switch (window_.namingOption()) {
    case kNameBySheet:
      if (lower(sheetName) == lower(workbook)) name = workbook + "_" + sheetName;
      break;
    case kNameByWorkbookAndSheet:
      name = workbook + "_" + sheetName;
      break;
    case kNameByNumber: {
      std::string number = std::to_string(++state_.sheetCounter);
      name = workbook == number ? workbook + "_" + number : number;
      break;
    }
    default:
      break;
  }

  // Removing characters one at a time, first occurrence first, ends where
  // removing them all at once does.
  std::string clean = removeRefusedCharacters(name);
  // A leading space drops the whole name, not just the space.
  if (!clean.empty() && clean.front() == ' ') clean.clear();

  auto draw = [this](int highest) {
    return std::to_string(std::uniform_int_distribution<int>(1, highest)(impl_->random));
  };
  const bool wholeNameDrawn = clean.empty();
  const bool anythingDrawn = wholeNameDrawn || (clean != name && clean.size() < 2);
  if (!anythingDrawn) return clean;
  auto compose = [&] {
    std::string candidate = wholeNameDrawn ? draw(1000000) : clean;
    if (candidate != name && candidate.size() < 2) candidate += draw(100);
    return candidate;
  };
  std::string result = compose();
  int extraNumbers = 0;
  for (int draws = 1; impl_->namesWritten.count(result); ++draws) {
    if (draws % kDrawsPerLength == 0) ++extraNumbers;
    result = compose();
    for (int i = 0; i < extraNumbers; ++i) result += draw(100);
  }
  return result;
}

}  // namespace quorvel
