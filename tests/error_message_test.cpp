// Failure messages quote names and bytes from files: whatever those hold, a
// message stays one printable line.
#include <gtest/gtest.h>

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {
namespace {

TEST(ErrorMessages, ControlCharactersAndStrayBytesAreEscaped) {
  EXPECT_EQ(printable("Ümlaut, 日本, 😀 and \\ stay"), "Ümlaut, 日本, 😀 and \\ stay");
  EXPECT_EQ(printable("a\nb\tc\rd"), "a\\nb\\tc\\rd");
  EXPECT_EQ(printable(std::string("\x00\x01\x1F\x7F", 4)), "\\x00\\x01\\x1F\\x7F");
  EXPECT_EQ(printable("\xC2\x85"), "\\xC2\\x85");   // NEL, a C1 control
  EXPECT_EQ(printable("K53\xE9ZZ"), "K53\\xE9ZZ");  // Latin-1, not UTF-8
  EXPECT_EQ(printable("cut \xE2\x82"), "cut \\xE2\\x82");
  EXPECT_EQ(printable("\xC0\xAF"), "\\xC0\\xAF");                    // overlong
  EXPECT_EQ(printable("\xED\xA0\x80"), "\\xED\\xA0\\x80");           // a surrogate
  EXPECT_EQ(printable("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // past U+10FFFF
  EXPECT_EQ(printable("\xE2\x82\xACx"), "\xE2\x82\xACx");
}

TEST(ErrorMessages, TheFileNameAndTheDetailAreMadePrintable) {
  EXPECT_EQ(describeError(ErrorCode::Damaged, "a\nb.xlsx", "the cell reference 'A\n\xE9'"),
            "'a\\nb.xlsx' is damaged: the cell reference 'A\\n\\xE9'");
  FormatError e(ErrorCode::NotAWorkbook, "tag <x\ty>");
  EXPECT_EQ(errorForFile(e, "/in/book.xlsx").description(),
            "'book.xlsx' is not a workbook: tag <x\\ty>");
}

}  // namespace
}  // namespace quorvel::spreadsheet
