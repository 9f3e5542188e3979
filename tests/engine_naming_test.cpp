// Output file and folder naming: the three naming options, the removed
// characters and the random names that replace an unusable one.
#include <gtest/gtest.h>

#include <regex>
#include <set>

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

TEST(FolderNames, CleanFolderNameDropsSpacesAndDots) {
  EXPECT_EQ(CleanFolderName("My Book 1.2"), "MyBook12");
  EXPECT_EQ(CleanFolderName("..."), "");
  EXPECT_EQ(CleanFolderName(""), "");
  EXPECT_EQ(StripExtension("Sales.2024.xls"), "Sales.2024");
  EXPECT_EQ(StripExtension(".xls"), "");
  EXPECT_EQ(StripExtension("README"), "README");
}

}  // namespace
}  // namespace quorvel
