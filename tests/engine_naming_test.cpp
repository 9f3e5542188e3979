// Output file and folder naming: the three naming options, the removed
// characters and the random names that replace an unusable one.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "engine/workbook_folder.h"
#include "tests/support/engine_setup.h"

namespace quorvel {
namespace {

struct Naming : ::testing::Test {
  test::EngineSetup s;
  std::string name(const std::string& workbook, const std::string& sheet, int option = 0) {
    test::fillList(s.window.workbooks, {{workbook, true}});
    s.window.naming = option;
    return s.procedures.MakeOutputFileName(1, sheet);
  }
};

bool isNumberIn(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  long v = std::stol(text);
  return v >= low && v <= high;
}

TEST_F(Naming, BySheetNameAddsTheWorkbookWhenBothAreEqualIgnoringCase) {
  EXPECT_EQ(name("Sales.xls", "Jan"), "Jan");
  EXPECT_EQ(name("Sales.xls", "SALES"), "Sales_SALES");
  EXPECT_EQ(name("Sales.2024.xls", "sales.2024"), "Sales.2024_sales.2024");
}

TEST_F(Naming, ByWorkbookAndSheetNameCutsOnlyTheLastDot) {
  EXPECT_EQ(name("Sales.xls", "Jan", 1), "Sales_Jan");
  EXPECT_EQ(name("Sales.2024.xls", "Jan", 1), "Sales.2024_Jan");
  EXPECT_EQ(name("NoExtension", "Jan", 1), "NoExtension_Jan");
}

TEST_F(Naming, ByNumberCountsAndAvoidsTheWorkbookName) {
  EXPECT_EQ(name("Sales.xls", "a", 2), "1");
  EXPECT_EQ(name("Sales.xls", "b", 2), "2");
  EXPECT_EQ(name("Sales.xls", "c", 2), "3");
  s.procedures.state().names.sheetCounter = 0;
  EXPECT_EQ(name("2.xls", "a", 2), "1");
  EXPECT_EQ(name("2.xls", "b", 2), "2_2");
  EXPECT_EQ(name("2.xls", "c", 2), "3");
}

TEST_F(Naming, WithoutAnOptionTheSheetNameStandsAlone) {
  EXPECT_EQ(name("Sales.xls", "Sales", -1), "Sales");
  EXPECT_EQ(name("Sales.xls", "Jan", 7), "Jan");
  EXPECT_EQ(s.procedures.state().names.sheetCounter, 0);
}

TEST_F(Naming, RemovesTheRefusedCharacters) {
  EXPECT_EQ(name("Sales.xls", "Q1<>|\""), "Q1");
  EXPECT_EQ(name("Sales.xls", "a"), "a");
  EXPECT_EQ(name("Sales.xls", "a\\b?*"), "a\\b?*");  // allowed here, kept
  std::string shortened = name("Sales.xls", "a:");
  ASSERT_EQ(shortened.substr(0, 1), "a");
  EXPECT_TRUE(isNumberIn(shortened.substr(1), 1, 100)) << shortened;
}

TEST_F(Naming, KeepsEveryNameInsideTheWorkbookFolder) {
  EXPECT_EQ(name("Sales.xls", "../../etc/passwd"), "....etcpasswd");
  EXPECT_EQ(name("Sales.xls", "a/b"), "ab");
  EXPECT_EQ(name("Sales.xls", std::string("ab\0cd", 5)), "abcd");
  std::string onlySeparators = name("Sales.xls", "//");
  EXPECT_EQ(onlySeparators.find('/'), std::string::npos);
  EXPECT_FALSE(onlySeparators.empty());
}

TEST_F(Naming, AnUnusableNameBecomesARandomNumber) {
  for (const char* sheet : {"<>", " Jan", ":|:", ""}) {
    std::string got = name("Sales.xls", sheet);
    // A one-digit number gets a second number from 1 to 100 appended.
    EXPECT_TRUE(isNumberIn(got, 10, 1000000)) << sheet << " -> " << got;
  }
}

TEST_F(Naming, RandomNamesDifferWithinOneSecond) {
  // Reseeding per call from the clock gave the same name all second long.
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) names.insert(name("Sales.xls", "<>"));
  EXPECT_GT(names.size(), 15u);
}

TEST_F(Naming, AReseededGeneratorRepeatsItsNames) {
  s.procedures.SeedRandomNames(42);
  std::string first = name("Sales.xls", "|");
  s.procedures.SeedRandomNames(42);
  EXPECT_EQ(name("Sales.xls", "|"), first);
}

// Names as a workbook's conversion makes them: each one written is recorded.
struct WrittenNames : ::testing::Test {
  OutputFileNames names{7};
  std::string next(const std::string& sheet, NamingOption option = NamingOption::SheetName,
                   const std::string& workbook = "Sales") {
    std::string name = names.MakeOutputFileName(option, workbook, sheet);
    names.recordWritten(name);
    return name;
  }
};

TEST_F(WrittenNames, ANameWrittenAlreadyIsNumberedInEveryOption) {
  EXPECT_EQ(next("a:b"), "ab");
  EXPECT_EQ(next("ab"), "ab_2");
  EXPECT_EQ(next("a|b"), "ab_3");
  EXPECT_EQ(next("ab_2"), "ab_2_2");  // a suffix never takes a name written
  EXPECT_EQ(next("Jan", NamingOption::WorkbookAndSheetName), "Sales_Jan");
  EXPECT_EQ(next("J<an", NamingOption::WorkbookAndSheetName), "Sales_Jan_2");
  EXPECT_EQ(next("Sales", NamingOption::None), "Sales");
  EXPECT_EQ(next("Sales|", NamingOption::None), "Sales_2");
  names.sheetCounter = 0;
  EXPECT_EQ(next("x", NamingOption::Number), "1");
  EXPECT_EQ(next("x", NamingOption::Number), "2");
  // Exact comparison: letter case makes another name on this file system.
  EXPECT_EQ(next("AB"), "AB");
  // The next workbook writes into a folder of its own.
  names.beginWorkbook();
  EXPECT_EQ(next("ab"), "ab");
}

TEST_F(WrittenNames, ControlCharactersAreRemoved) {
  EXPECT_EQ(next("Jan\tFeb\r\nMar"), "JanFebMar");
  EXPECT_EQ(next(std::string("a\x01\x1f\x7f") + "b"), "ab");
  EXPECT_EQ(next("Q\x1b[31m1"), "Q[31m1");
  EXPECT_EQ(CleanFolderName("My\tBook\n 1.2\x7f"), "MyBook12");
}

TEST_F(WrittenNames, LongNamesAreCutAtACharacterToFitWithTheExtension) {
  // "€" takes three bytes: 251 bytes are left before ".txt".
  std::string euros;
  for (int i = 0; i < 300; ++i) euros += "\u20ac";
  const std::string a("a");
  std::string first = next(a + euros);
  EXPECT_EQ(first, a + euros.substr(0, 3 * 83));  // 250 bytes: 251 would split a "€"
  std::string second = next(a + euros);
  EXPECT_EQ(second, a + euros.substr(0, 3 * 82) + "_2");
  EXPECT_LE(second.size() + 4, 255u);
  // Labels as long as the disk allows still fit.
  EXPECT_EQ(next(std::string(255, 'z')), std::string(251, 'z'));
  EXPECT_EQ(next(std::string(251, 'z')), std::string(249, 'z') + "_2");
}

TEST(FolderNames, CleanFolderNameDropsSpacesAndDots) {
  EXPECT_EQ(CleanFolderName("My Book 1.2"), "MyBook12");
  EXPECT_EQ(CleanFolderName("..."), "");
  EXPECT_EQ(CleanFolderName(""), "");
  EXPECT_EQ(StripExtension("Sales.2024.xls"), "Sales.2024");
  EXPECT_EQ(StripExtension(".xls"), "");
  EXPECT_EQ(StripExtension("README"), "README");
}

TEST(FolderNames, SuffixesCountUpAndLongNamesMakeRoomForThem) {
  test::TempDir dir;
  const std::string out = dir.path().string() + "/";
  std::vector<std::string> made;
  for (int i = 0; i < 12; ++i) {
    made.push_back(ChooseWorkbookOutputFolder(out, "r"));
    std::filesystem::create_directory(made.back());
  }
  EXPECT_EQ(made.front(), out + "r");
  EXPECT_EQ(made[1], out + "r1");
  EXPECT_EQ(made[3], out + "r3");
  EXPECT_EQ(made.back(), out + "r11");

  const std::string longName(255, 'n');
  std::filesystem::create_directory(ChooseWorkbookOutputFolder(out, longName));
  EXPECT_EQ(ChooseWorkbookOutputFolder(out, longName), out + std::string(254, 'n') + "1");
  EXPECT_EQ(ChooseWorkbookOutputFolder(out, longName + "more"), out + std::string(254, 'n') + "1");
}

}  // namespace
}  // namespace quorvel
