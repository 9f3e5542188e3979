// The shared-string table all three readers fill: strings come back by
// index exactly as appended however the arena grows, and an index past the
// end is damaged data with the reader's own sentence, never a read past it.
#include "engine/spreadsheet/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::spreadsheet {
namespace {

TEST(StringTable, StringsComeBackByIndexWhileTheArenaGrows) {
  StringTable table;
  std::vector<std::string> appended;
  // Empty strings first and between, long ones that force the arena to move.
  for (int i = 0; i < 5000; ++i) {
    std::string s = i % 7 == 0 ? std::string() : std::to_string(i) + std::string(i % 50, 'x');
    if (i % 1000 == 999) s = std::string(100000, static_cast<char>('a' + i / 1000));
    table.append(s);
    appended.push_back(s);
  }
  table.shrinkToFit();
  ASSERT_EQ(table.size(), appended.size());
  for (std::size_t i = 0; i < appended.size(); ++i) ASSERT_EQ(table.at(i), appended[i]) << i;

  // Strings are bytes: UTF-8 and NUL characters come back whole.
  StringTable reserved;
  reserved.reserve(2, 1 << 20);
  reserved.append("\xE6\xBC\xA2");
  reserved.append(std::string_view("nul\0inside", 10));
  EXPECT_EQ(reserved.at(0), "\xE6\xBC\xA2");
  EXPECT_EQ(reserved.at(1), std::string_view("nul\0inside", 10));
}

TEST(StringTable, AnIndexPastTheEndIsDamagedData) {
  auto failure = [](const auto& lookup) -> std::string {
    try {
      lookup();
    } catch (const FormatError& e) {
      EXPECT_EQ(e.code(), ErrorCode::Damaged);
      return e.what();
    }
    return "no error";
  };
  StringTable table;
  EXPECT_EQ(failure([&] { table.at(0); }),
            "the shared-string index 0 is past the table's 0 strings");
  table.append("a");
  table.append("b");
  EXPECT_EQ(failure([&] { table.at(2); }),
            "the shared-string index 2 is past the table's 2 strings");
  // Wide indexes are compared whole, not cut to 32 bits (2^32 + 1 is not 1).
  EXPECT_EQ(failure([&] { table.at((std::uint64_t{1} << 32) + 1); }),
            "the shared-string index 4294967297 is past the table's 2 strings");
  // A reader words the sentence itself.
  auto ownWords = [](std::uint64_t index, std::size_t size) {
    return "cell wants " + std::to_string(index) + " of " + std::to_string(size);
  };
  EXPECT_EQ(failure([&] { table.at(7, ownWords); }), "cell wants 7 of 2");
  EXPECT_EQ(table.at(1, ownWords), "b");
}

}  // namespace
}  // namespace quorvel::spreadsheet
