// The byte searches compare sixteen bytes at once: they must find what a
// byte-by-byte loop finds, wherever the bytes fall against those blocks.
#include "engine/spreadsheet/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quorvel::spreadsheet {
namespace {

const char* plainThree(const char* p, const char* end, char a, char b, char c) {
  for (; end - p >= 3; ++p)
    if (p[0] == a && p[1] == b && p[2] == c) return p;
  return nullptr;
}

TEST(ByteSearch, ThreeBytesAreFoundAsOneByOneWhereverTheyFall) {
  std::mt19937 random(7);
  // Few letters, so that runs of two of the three are common and whole
  // matches fall at every place of a block, across blocks and at the end.
  const std::string alphabet = "\"s=t<";
  int found = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string bytes(random() % 70, ' ');
    for (char& c : bytes) c = alphabet[random() % alphabet.size()];
    for (std::size_t from = 0; from <= bytes.size(); from += 1 + random() % 5) {
      const char* begin = bytes.data() + from;
      const char* end = bytes.data() + bytes.size();
      const char* want = plainThree(begin, end, '"', 's', '"');
      EXPECT_EQ(findThreeBytes(begin, end, '"', 's', '"'), want) << bytes << " from " << from;
      found += want != nullptr;
    }
  }
  EXPECT_GT(found, 1000);
  const std::string tail = std::string(17, 'x') + "\"s\"";
  EXPECT_EQ(findThreeBytes(tail.data(), tail.data() + tail.size(), '"', 's', '"'),
            tail.data() + 17);
  EXPECT_EQ(findThreeBytes(tail.data(), tail.data() + tail.size() - 1, '"', 's', '"'), nullptr);
}

}  // namespace
}  // namespace quorvel::spreadsheet
