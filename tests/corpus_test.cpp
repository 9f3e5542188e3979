// Every real workbook of the corpus either converts or fails with the
// component's error, and what we write agrees with the application's own
// exports. The agreement floors rise as the readers improve.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "engine/spreadsheet/automation.h"
#include "tests/support/corpus.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

using test::Agreement;
using test::CorpusWorkbook;

// Lowest accepted agreement (matching cells / compared cells) per folder.
const std::map<std::string, double> kAgreementFloor = {
    {"xlsx", 0.998}, {"xlsm", 0.854}, {"xlsb", 0.987}, {"xls", 0.936}};
// The same with every cell compared in its place, where a used range that
// starts a row or a column off moves all of them.
const std::map<std::string, double> kInPlaceFloor = {
    {"xlsx", 0.998}, {"xlsm", 0.854}, {"xlsb", 0.987}, {"xls", 0.936}};
// Least sheets whose text covers exactly the rows and columns of the export.
const std::map<std::string, int> kSameRangeFloor = {
    {"xlsx", 52}, {"xlsm", 6}, {"xlsb", 8}, {"xls", 76}};

struct WorkbookOutcome {
  bool converted = false;
  bool cleanFailure = false;
  std::string error;
  std::map<int, test::Grid> sheets;  // by worksheet ordinal, for sheets with an export
};

struct FolderSummary {
  int workbooks = 0, converted = 0, cleanFailures = 0, unclean = 0;
  Agreement agreement, agreementOfOriginals, inPlace;
  int sheets = 0, sameRange = 0;  // sheets with the application's export
  std::vector<std::string> otherRanges;
};

std::string folderOf(const std::string& file) {
  return file.substr(0, file.find('/'));
}

WorkbookOutcome convert(const CorpusWorkbook& w, const std::set<int>& wanted) {
  WorkbookOutcome out;
  test::TempDir dir;
  auto app = createApplication();
  try {
    Workbook& book = app->open(w.path().string());
    app->setDisplayAlerts(false);
    int n = book.worksheetCount();
    for (int s = 1; s <= n; ++s) {
      std::string file = dir.file(std::to_string(s) + ".txt");
      book.selectSheet(s);
      book.saveAs(file, xlCurrentPlatformText);
      if (wanted.count(s - 1))
        out.sheets[s - 1] = test::parseExport(test::readFile(file), "UTF-8", '\t');
    }
    book.close();
    app->quit();
    out.converted = true;
  } catch (const SpreadsheetError& e) {
    out.error = e.description();
    out.cleanFailure = e.number() > 0 && !e.description().empty();
  } catch (const std::exception& e) {
    out.error = std::string("unexpected exception: ") + e.what();
  }
  return out;
}

const std::map<std::string, FolderSummary>& corpusResults() {
  static std::map<std::string, FolderSummary> results = [] {
    std::map<std::string, FolderSummary> r;
    for (const CorpusWorkbook& w : test::loadCorpusManifest()) {
      std::set<int> wanted;
      for (const auto& e : w.expected) wanted.insert(w.worksheetOrdinal(e.sheetIndex));
      for (const auto& e : w.expectedOfOriginal) wanted.insert(w.worksheetOrdinal(e.sheetIndex));
      WorkbookOutcome o = convert(w, wanted);
      FolderSummary& f = r[folderOf(w.file)];
      ++f.workbooks;
      if (o.converted) ++f.converted;
      if (o.cleanFailure) ++f.cleanFailures;
      if (!o.converted && !o.cleanFailure) {
        ++f.unclean;
        ADD_FAILURE() << w.file << ": " << o.error;
      }
      auto compare = [&](const std::vector<test::ExpectedExport>& list, Agreement& into,
                         bool inPlace) {
        std::set<int> seen;
        for (const auto& e : list) {
          int ordinal = w.worksheetOrdinal(e.sheetIndex);
          if (!e.excel || ordinal < 0 || !seen.insert(ordinal).second) continue;
          bool csv = e.file.size() > 4 && e.file.compare(e.file.size() - 4, 4, ".csv") == 0;
          std::string bytes = test::readFile((test::corpusDir() / e.file).string());
          test::Grid expected = test::parseExport(bytes, e.encoding, csv ? ',' : '\t');
          test::Grid ours;
          if (auto it = o.sheets.find(ordinal); it != o.sheets.end()) ours = it->second;
          if (inPlace) {
            f.inPlace.add(test::compareGridsInPlace(ours, expected));
            test::restoreLastEmptyRow(expected, bytes, e);
            ++f.sheets;
            if (test::sameShape(ours, expected))
              ++f.sameRange;
            else
              f.otherRanges.push_back(w.file + " sheet " + std::to_string(ordinal + 1));
          }
          Agreement a = test::compareGrids(ours, expected);
          if (a.matching < a.cells && !a.firstMismatches.empty())
            a.firstMismatches.insert(a.firstMismatches.begin(),
                                     w.file + " sheet " + std::to_string(ordinal + 1) +
                                         (o.converted ? "" : " (" + o.error + ")"));
          into.add(a);
        }
      };
      compare(w.expected, f.agreement, true);
      compare(w.expectedOfOriginal, f.agreementOfOriginals, false);
    }
    for (const auto& [folder, f] : r) {
      std::printf(
          "corpus %-7s workbooks %3d  converted %3d  clean failures %3d  "
          "agreement %zu/%zu cells (%.1f%%)",
          folder.c_str(), f.workbooks, f.converted, f.cleanFailures, f.agreement.matching,
          f.agreement.cells, 100 * f.agreement.rate());
      if (f.agreementOfOriginals.cells)
        std::printf("  with the original's exports %zu/%zu (%.1f%%)",
                    f.agreementOfOriginals.matching, f.agreementOfOriginals.cells,
                    100 * f.agreementOfOriginals.rate());
      std::printf("\n");
      if (f.sheets)
        std::printf("corpus %-7s in place %zu/%zu cells (%.1f%%)  same range %d/%d sheets\n",
                    folder.c_str(), f.inPlace.matching, f.inPlace.cells, 100 * f.inPlace.rate(),
                    f.sameRange, f.sheets);
      if (std::getenv("QUORVEL_CORPUS_VERBOSE")) {
        for (const auto& m : f.agreement.firstMismatches) std::printf("    %s\n", m.c_str());
        for (const auto& m : f.otherRanges) std::printf("    other range: %s\n", m.c_str());
      }
    }
    return r;
  }();
  return results;
}

TEST(Corpus, EveryWorkbookConvertsOrFailsWithTheComponentsError) {
  for (const auto& [folder, f] : corpusResults()) {
    EXPECT_EQ(f.unclean, 0) << folder;
    EXPECT_EQ(f.converted + f.cleanFailures, f.workbooks) << folder;
  }
}

TEST(Corpus, BrokenFilesAllFailCleanly) {
  for (const CorpusWorkbook& w : test::loadCorpusManifest()) {
    if (!w.broken) continue;
    WorkbookOutcome o = convert(w, {});
    EXPECT_FALSE(o.converted) << w.file;
    EXPECT_TRUE(o.cleanFailure) << w.file << ": " << o.error;
    std::string name = w.file.substr(w.file.find('/') + 1);
    EXPECT_NE(o.error.find(name), std::string::npos) << o.error;
  }
}

TEST(Corpus, AgreementWithTheApplicationsExports) {
  const auto& results = corpusResults();
  for (const auto& [folder, floor] : kAgreementFloor) {
    auto it = results.find(folder);
    ASSERT_NE(it, results.end()) << folder;
    EXPECT_GE(it->second.agreement.rate(), floor) << folder;
    EXPECT_GE(it->second.inPlace.rate(), kInPlaceFloor.at(folder)) << folder;
    EXPECT_GE(it->second.sameRange, kSameRangeFloor.at(folder)) << folder;
  }
}

// The public case of a used range wider than the cells: an empty column with
// a date format two columns right of the last cell.
TEST(Corpus, AnEmptyColumnWithADateFormatWidensTheRange) {
  test::TempDir dir;
  auto app = createApplication();
  Workbook& book = app->open((test::corpusDir() / "xls/poi__49896.xls").string());
  book.selectSheet(1);
  book.saveAs(dir.file("1.txt"), xlCurrentPlatformText);
  book.close();
  app->quit();
  EXPECT_EQ(test::readFile(dir.file("1.txt")), "Col1\tS\t\t\r\n1\t#N/A\t\t\r\n2\t#N/A\t\t\r\n");
}

}  // namespace
}  // namespace quorvel::spreadsheet
