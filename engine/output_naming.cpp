#include "engine/output_naming.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel {

namespace {

// Removed from every file name: five characters Windows refuses in a name,
// the path separator and NUL. A label such as "../x" must not write outside
// the workbook's folder, nor a NUL cut the path short.
constexpr char kRemovedCharacters[] = {
    ':', '"', '<', '>', '|', std::filesystem::path::preferred_separator, '\0'};

// Tab, line breaks, the other C0 controls and DEL: legal on the disk, but a
// name holding them breaks every listing, script and message that shows it.
bool isControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

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
    if (!isControl(c) && std::find(std::begin(kRemovedCharacters), std::end(kRemovedCharacters),
                                   c) == std::end(kRemovedCharacters))
      clean += c;
  return clean;
}

}  // namespace

NamingOption NamingOptionAt(int position) {
  switch (position) {
    case 0:
      return NamingOption::SheetName;
    case 1:
      return NamingOption::WorkbookAndSheetName;
    case 2:
      return NamingOption::Number;
    default:
      return NamingOption::None;
  }
}

std::string StripExtension(const std::string& text) {
  auto dot = text.rfind('.');
  return dot == std::string::npos ? text : text.substr(0, dot);
}

std::string CleanFolderName(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != ' ' && c != '.' && !isControl(c)) clean += c;
  return clean;
}

std::string FitFileName(const std::string& name, std::size_t maxBytes) {
  return name.substr(0, spreadsheet::utf8CutLength(name, maxBytes));
}

std::string FitFileName(const std::string& name, const std::string& suffix) {
  const std::size_t room = kMaxFileNameBytes - std::min(suffix.size(), kMaxFileNameBytes);
  return FitFileName(name, room) + suffix;
}

// Seeded once: reseeding per name from the clock drew the same number for
// names made in the same second, and the second file overwrote the first.
OutputFileNames::OutputFileNames() : random_(std::random_device{}()) {}

std::string OutputFileNames::draw(int highest) {
  return std::to_string(std::uniform_int_distribution<int>(1, highest)(random_));
}

std::string OutputFileNames::MakeOutputFileName(NamingOption option,
                                                const std::string& workbookName,
                                                const std::string& sheetName) {
  const std::string& workbook = workbookName;
  std::string name = sheetName;
  switch (option) {
    case NamingOption::SheetName:
      if (lower(sheetName) == lower(workbook)) name = workbook + "_" + sheetName;
      break;
    case NamingOption::WorkbookAndSheetName:
      name = workbook + "_" + sheetName;
      break;
    case NamingOption::Number: {
      std::string number = std::to_string(++sheetCounter);
      name = workbook == number ? workbook + "_" + number : number;
      break;
    }
    case NamingOption::None:
      break;
  }

  // Removing characters one at a time, first occurrence first, ends where
  // removing them all at once does.
  std::string clean = removeRefusedCharacters(name);
  // A leading space drops the whole name, not just the space.
  if (!clean.empty() && clean.front() == ' ') clean.clear();

  const bool wholeNameDrawn = clean.empty();
  const bool anythingDrawn = wholeNameDrawn || (clean != name && clean.size() < 2);
  if (!anythingDrawn) return unused(clean);
  auto compose = [&] {
    std::string candidate = wholeNameDrawn ? draw(1000000) : clean;
    if (candidate != name && candidate.size() < 2) candidate += draw(100);
    return candidate;
  };
  std::string result = compose();
  int extraNumbers = 0;
  for (int draws = 1; written_.count(result); ++draws) {
    if (draws % kDrawsPerLength == 0) ++extraNumbers;
    result = compose();
    for (int i = 0; i < extraNumbers; ++i) result += draw(100);
  }
  return unused(result);
}

std::string OutputFileNames::unused(const std::string& name) const {
  const std::string extension(kTextExtension);
  auto fitted = [&](const std::string& suffix) {
    std::string fit = FitFileName(name, suffix + extension);
    fit.resize(fit.size() - extension.size());
    return fit;
  };
  std::string result = fitted("");
  for (int n = 2; written_.count(result); ++n)
    result = fitted(std::string("_").append(std::to_string(n)));
  return result;
}

}  // namespace quorvel
