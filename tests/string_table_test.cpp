// The shared-string table all three readers fill: strings come back by
// index exactly as appended however the table grows, in memory or past its
// memory limit in a temporary file, and an index past the end is damaged
// data with the reader's own sentence, never a read past it.
#include "engine/spreadsheet/string_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "engine/spreadsheet/scratch_file.h"

namespace quorvel::spreadsheet {
namespace {

TEST(StringTable, StringsComeBackByIndexWhileTheTableGrows) {
  StringTable table;
  std::vector<std::string> appended;
  // Empty strings first and between, long ones that force the arena to move.
  for (int i = 0; i < 5000; ++i) {
    std::string s = i % 7 == 0 ? std::string() : std::to_string(i) + std::string(i % 50, 'x');
    if (i % 1000 == 999) s = std::string(100000, static_cast<char>('a' + i / 1000));
    table.append(s);
    appended.push_back(s);
  }
  ASSERT_EQ(table.size(), appended.size());
  for (std::size_t i = 0; i < appended.size(); ++i) ASSERT_EQ(table.at(i), appended[i]) << i;

  // Strings are bytes: UTF-8 and NUL characters come back whole.
  EXPECT_EQ(table.spilledBytes(), 0u) << "half a megabyte stays in memory";
  StringTable bytes;
  bytes.append("\xE6\xBC\xA2");
  bytes.append(std::string_view("nul\0inside", 10));
  EXPECT_EQ(bytes.at(0), "\xE6\xBC\xA2");
  EXPECT_EQ(bytes.at(1), std::string_view("nul\0inside", 10));
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

// Strings of every awkward length: empty, one letter, NUL and UTF-8 bytes,
// and long ones that cross the table's chunks and the file's pages.
std::vector<std::string> awkwardStrings(std::size_t count) {
  std::mt19937 random(7);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t kind = random() % 10;
    std::size_t length = kind < 2 ? 0 : kind < 5 ? 1 : kind < 9 ? random() % 40 : random() % 30000;
    std::string s;
    for (std::size_t j = 0; j < length; ++j) s += static_cast<char>(random() % 256);
    out.push_back(std::move(s));
  }
  return out;
}

TEST(StringTable, StringsPastTheMemoryLimitGoToAFileAndComeBackExactly) {
  const std::vector<std::string> strings = awkwardStrings(6000);
  for (std::size_t limit : {std::size_t(0), std::size_t(1000), std::size_t(300000)}) {
    SCOPED_TRACE(limit);
    StringTable table(limit);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      table.append(strings[i]);
      // Lookups while the table grows read the chunk still being filled.
      if (i % 97 == 0) {
        ASSERT_EQ(table.at(i), strings[i]) << i;
      }
      if (i % 89 == 0) {
        ASSERT_EQ(table.at(i / 2), strings[i / 2]) << i;
      }
    }
    ASSERT_EQ(table.size(), strings.size());
    EXPECT_GT(table.spilledBytes(), 0u);
    // In order, backwards, and at random: each page and chunk read afresh.
    for (std::size_t i = 0; i < strings.size(); ++i) ASSERT_EQ(table.at(i), strings[i]) << i;
    for (std::size_t i = strings.size(); i-- > 0;) ASSERT_EQ(table.at(i), strings[i]) << i;
    std::mt19937 random(limit);
    for (int n = 0; n < 20000; ++n) {
      std::size_t i = random() % strings.size();
      ASSERT_EQ(table.at(i), strings[i]) << i;
    }
    EXPECT_THROW(table.at(strings.size()), FormatError);
  }
  // What fits stays in memory.
  StringTable roomy(std::size_t(64) << 20);
  for (const std::string& s : strings) roomy.append(s);
  EXPECT_EQ(roomy.spilledBytes(), 0u);
  EXPECT_EQ(roomy.at(5999), strings[5999]);
}

TEST(StringTable, AMovedTableKeepsItsStringsAndItsFile) {
  const std::vector<std::string> strings = awkwardStrings(500);
  StringTable first(512);
  for (const std::string& s : strings) first.append(s);
  ASSERT_GT(first.spilledBytes(), 0u);
  StringTable second(std::move(first));
  StringTable third;
  third.append("replaced");
  third = std::move(second);
  ASSERT_EQ(third.size(), strings.size());
  for (std::size_t i = 0; i < strings.size(); ++i) ASSERT_EQ(third.at(i), strings[i]) << i;
  // The tables moved from are empty and usable.
  EXPECT_EQ(first.size(), 0u);
  EXPECT_EQ(second.size(), 0u);
  for (int i = 0; i < 300; ++i) second.append(std::string(i, 'x'));
  for (int i = 0; i < 300; ++i) ASSERT_EQ(second.at(i), std::string(i, 'x'));
}

TEST(StringTable, AFailingTemporaryFileIsAClearError) {
  struct TmpDir {
    std::string saved;
    bool had;
    TmpDir() : had(getenv("TMPDIR") != nullptr) {
      if (had) saved = getenv("TMPDIR");
      setenv("TMPDIR", "/nonexistent/quorvel-test", 1);
    }
    ~TmpDir() { had ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR"); }
  } tmpdir;
  StringTable table(std::size_t(1) << 20);
  try {
    for (int i = 0; i < 100000; ++i) table.append(std::string(100, 'x'));
    FAIL() << "no error";
  } catch (const FormatError& e) {
    EXPECT_EQ(e.code(), ErrorCode::TooLarge);
    EXPECT_STREQ(e.what(),
                 "its shared strings pass 1 MB and their temporary file in "
                 "/nonexistent/quorvel-test failed (cannot create a temporary file: No such file "
                 "or directory)");
  }
  // What came before the file still reads back.
  ASSERT_GT(table.size(), 1000u);
  EXPECT_EQ(table.at(1000), std::string(100, 'x'));
}

TEST(ScratchFile, WritesReadBackAndTheFileHasNoName) {
  ScratchFile file;
  file.write(10, "hello", 5);
  file.write(0, "0123456789", 10);
  char got[15];
  file.read(0, got, 15);
  EXPECT_EQ(std::string(got, 15), "0123456789hello");
  EXPECT_THROW(file.read(10, got, 6), std::system_error) << "past the end";
  ScratchFile moved(std::move(file));
  moved.read(10, got, 5);
  EXPECT_EQ(std::string(got, 5), "hello");
}

}  // namespace
}  // namespace quorvel::spreadsheet
