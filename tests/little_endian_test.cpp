// The one reader of little-endian fields every binary format uses: bytes
// with the high bit set must not sign-extend, and fields need no alignment.
#include "engine/spreadsheet/little_endian.h"

#include <gtest/gtest.h>

namespace quorvel::spreadsheet {
namespace {

TEST(LittleEndian, FieldsOfEveryWidthFromAnyOffset) {
  const unsigned char bytes[] = {0x00, 0xFE, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0xF8, 0x3F};
  EXPECT_EQ(le16(bytes + 1), 0x80FEu);
  EXPECT_EQ(le24(bytes + 1), 0xFF80FEu);
  EXPECT_EQ(le32(bytes + 1), 0x7FFF80FEu);
  EXPECT_EQ(le32(bytes), 0xFF80FE00u);
  EXPECT_EQ(le64(bytes + 1), 0xF8000001'7FFF80FEull);
  // 1.5 is 0x3FF8000000000000 and -2 is 0xC000000000000000, one byte in.
  const unsigned char doubles[] = {0x55, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0};
  EXPECT_EQ(leDouble(doubles + 1), 1.5);
  EXPECT_EQ(leDouble(doubles + 9), -2.0);
}

}  // namespace
}  // namespace quorvel::spreadsheet
