// Converts workbooks to text files through the component's nine steps, one
// file per worksheet: a stand-in for the command-line converter, and a way
// to look at what the readers make of a file.
//   convert_workbook [--numbered] OUTPUT_FOLDER WORKBOOK...
// --numbered names the files 1.txt, 2.txt, ... by worksheet position.
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/spreadsheet/automation.h"

using namespace quorvel::spreadsheet;

int main(int argc, char** argv) {
  int first = 1;
  bool numbered = argc > 1 && std::string(argv[1]) == "--numbered";
  if (numbered) ++first;
  if (argc < first + 2) {
    std::fprintf(stderr, "usage: %s [--numbered] OUTPUT_FOLDER WORKBOOK...\n", argv[0]);
    return 2;
  }
  std::filesystem::path out(argv[first]);
  std::filesystem::create_directories(out);
  int failures = 0;
  auto app = createApplication();
  app->setDisplayAlerts(false);
  for (int i = first + 1; i < argc; ++i) {
    std::string path = argv[i];
    std::string stem = std::filesystem::path(path).stem().string();
    try {
      Workbook& book = app->open(path);
      int n = book.worksheetCount();
      for (int s = 1; s <= n; ++s) {
        book.selectSheet(s);
        std::string name = numbered ? std::to_string(s) : stem + "." + book.worksheetName(s);
        std::string target = (out / (name + ".txt")).string();
        SheetStats st = book.saveAs(target, xlCurrentPlatformText);
        std::printf("%s: %u rows x %u columns\n", target.c_str(), st.rows, st.columns);
      }
      book.close();
    } catch (const SpreadsheetError& e) {
      std::printf("%s: error %d: %s\n", path.c_str(), e.number(), e.description().c_str());
      ++failures;
    }
  }
  app->quit();
  return failures ? 1 : 0;
}
