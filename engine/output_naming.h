#pragma once
// The names under which worksheets and workbook folders appear on disk.
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>

namespace quorvel {

// How text files are named. In the window these are the positions of the
// naming-option box; None is no position selected.
enum class NamingOption {
  SheetName,             // S; W_S when S and W are equal ignoring letter case
  WorkbookAndSheetName,  // W_S
  Number,                // 1, 2, 3 ... per workbook; W_n when W is that number
  None,                  // S
};

// The option at a position of the naming-option box; None for any other.
NamingOption NamingOptionAt(int position);

// The extension of every tab-separated text file written, and of every
// comma-separated one.
inline constexpr std::string_view kTextExtension = ".txt";
inline constexpr std::string_view kCsvExtension = ".csv";

// The extension of text files whose fields `separator` separates.
constexpr std::string_view TextFileExtension(char separator) {
  return separator == ',' ? kCsvExtension : kTextExtension;
}

// The text up to, not including, its last "."; unchanged without one.
std::string StripExtension(const std::string& text);
// The text with every space, every "." and every control character removed.
std::string CleanFolderName(const std::string& text);

// `name` cut to at most `maxBytes` bytes, never inside a UTF-8 character.
std::string FitFileName(const std::string& name, std::size_t maxBytes);
// `name` cut so that it and `suffix` (kept whole) fit the file system's
// limit on a name, followed by `suffix`.
std::string FitFileName(const std::string& name, const std::string& suffix);

// The file names of a run's text files, with what they depend on beyond the
// names themselves: the running number of NamingOption::Number, the random
// numbers that replace an unusable name, and the names the workbook being
// converted has written already.
class OutputFileNames {
 public:
  // Random names drawn from a generator seeded from the system.
  OutputFileNames();
  // Random names that repeat from run to run.
  explicit OutputFileNames(std::uint32_t seed) : random_(seed) {}
  void seed(std::uint32_t seed) { random_.seed(seed); }

  // The base name (without ".txt") of the file for worksheet `sheetName`
  // of the workbook named `workbookName` (its file name without extension).
  // Never empty, never holds a path separator or a control character; a
  // name left empty, or cut short to one character, gets random digits.
  // It names no file this workbook has written: a name written already gets
  // "_2", "_3" ... And it fits the file system with ".txt": a long name is
  // cut (at a character, before the suffix).
  std::string MakeOutputFileName(NamingOption option, const std::string& workbookName,
                                 const std::string& sheetName);

  // A workbook's conversion begins: the files of the one before no longer count.
  void beginWorkbook() { written_.clear(); }
  void recordWritten(const std::string& baseName) { written_.insert(baseName); }

  // SheetCounter: the last number given by NamingOption::Number; 0 makes
  // numbering start again at 1.
  int sheetCounter = 0;

 private:
  std::string draw(int highest);
  // `name` cut to fit and numbered until it names no file written.
  std::string unused(const std::string& name) const;
  std::mt19937 random_;
  std::set<std::string> written_;
};

}  // namespace quorvel
