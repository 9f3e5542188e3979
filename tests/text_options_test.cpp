// The text writer's options: the separator, raw values, standard output as
// the target, and the limit on a worksheet's empty padding.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "engine/spreadsheet/atomic_file.h"
#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/numfmt/number_format.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

namespace fs = std::filesystem;
using test::VectorCursor;
using K = CellKind;
using Cells = std::vector<VectorCursor::Stored>;

// A sheet that records a used range, right or wrong.
class RangedCursor : public VectorCursor {
 public:
  RangedCursor(Cells cells, CellRange range) : VectorCursor(std::move(cells)), range_(range) {}
  std::optional<CellRange> storedRange() const override { return range_; }

 private:
  CellRange range_;
};

struct Written {
  std::string text;
  int opens = 0;  // cursors taken: 2 when the recorded range was not used
};

// Writes `cells` through the opening overload, with `range` recorded when given.
Written writeWith(const Cells& cells, const TextOptions& options, const CellFormatter& formatter,
                  std::optional<CellRange> range = std::nullopt) {
  test::TempDir dir;
  Written w;
  writeSheetText(
      [&]() -> std::unique_ptr<SheetCursor> {
        ++w.opens;
        if (range) return std::make_unique<RangedCursor>(cells, *range);
        return std::make_unique<VectorCursor>(cells);
      },
      formatter, dir.file("out.txt"), {}, options);
  w.text = test::readFile(dir.file("out.txt"));
  return w;
}

TextOptions csv() {
  TextOptions o;
  o.separator = ',';
  return o;
}

TextOptions raw() {
  TextOptions o;
  o.values = CellValues::Raw;
  return o;
}

TEST(CommaSeparatedText, SameFieldsAndQuotingWithCommasBetweenThem) {
  const Cells cells = {{0, 0, K::Text, 0, "a,b"},
                       {0, 2, K::Number, 2.5, ""},
                       {1, 1, K::Text, 0, "tab\there"},
                       {2, 0, K::Text, 0, "say \"hi\""},
                       {2, 2, K::Boolean, 1, ""}};
  const std::string expected = "\"a,b\",,2.5\r\n,\"tab\there\",\r\n\"say \"\"hi\"\"\",,TRUE\r\n";
  CellFormatter formatter;
  EXPECT_EQ(writeWith(cells, csv(), formatter).text, expected);
  // Straight to the file under a right recorded range, and through the spool
  // again under a wrong one.
  Written direct = writeWith(cells, csv(), formatter, CellRange{0, 0, 2, 2});
  EXPECT_EQ(direct.text, expected);
  EXPECT_EQ(direct.opens, 1);
  Written again = writeWith(cells, csv(), formatter, CellRange{0, 0, 5, 2});
  EXPECT_EQ(again.text, expected);
  EXPECT_EQ(again.opens, 2);
}

TEST(CommaSeparatedText, RowsStoredInPiecesSplitOnCommasOutsideQuotes) {
  // Rows out of order are rebuilt from their spooled fields: a quoted comma
  // must not split a field, an empty field between two is a gap.
  const Cells cells = {{1, 0, K::Text, 0, "x"},       {0, 0, K::Text, 0, "1,5"},
                       {0, 3, K::Text, 0, "end"},     {1, 2, K::Text, 0, "y"},
                       {0, 1, K::Text, 0, "\"q\",z"}, {0, 0, K::Text, 0, "late, wins"}};
  CellFormatter formatter;
  EXPECT_EQ(writeWith(cells, csv(), formatter).text,
            "\"late, wins\",\"\"\"q\"\",z\",,end\r\nx,,y,\r\n");
}

TEST(RawValues, NumbersReadBackAsTheSameDouble) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<std::uint64_t> bits;
  std::vector<double> values = {
      0.1 + 0.2, 1e21, 1e-7, -0.0, 123456789012345678.0, 5e-324, 1.7976931348623157e308, 2.5, -3.0};
  while (values.size() < 2000) {
    std::uint64_t b = bits(random);
    double v;
    std::memcpy(&v, &b, sizeof v);
    if (std::isfinite(v)) values.push_back(v);
  }
  Cells cells;
  for (std::size_t i = 0; i < values.size(); ++i)
    cells.push_back({static_cast<std::uint32_t>(i), 0, K::Number, values[i], "", 1});
  CellFormatter formatter;
  formatter.setStyleFormats({0, 4});  // #,##0.00 shows none of these as they are
  const std::string text = writeWith(cells, raw(), formatter).text;
  std::size_t at = 0;
  for (double v : values) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string field = text.substr(at, end - at);
    char* stop = nullptr;
    const double back = std::strtod(field.c_str(), &stop);
    EXPECT_EQ(*stop, '\0') << field;
    EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << field;  // -0 stays -0
    at = end + 2;
  }
  std::string shortest;
  appendShortestNumber(0.1 + 0.2, shortest);
  EXPECT_EQ(shortest, "0.30000000000000004");  // General would show 0.3
}

TEST(RawValues, BooleansErrorsAndTextAsStoredNotAsFormatted) {
  CellFormatter formatter;
  formatter.defineFormat(164, "0;0;0;\"<\"@\">\"");
  formatter.setStyleFormats({0, 164});
  const Cells cells = {{0, 0, K::Boolean, 1, "", 1},
                       {0, 1, K::Boolean, 0, "", 1},
                       {0, 2, K::Text, 0, "text, as is", 1},
                       {0, 3, K::Error, 0, "#DIV/0!", 1},
                       {0, 4, K::Number, 1234.5, "", 1}};
  EXPECT_EQ(writeWith(cells, {}, formatter).text,
            "<TRUE>\t<FALSE>\t\"<text, as is>\"\t#DIV/0!\t1235\r\n");
  EXPECT_EQ(writeWith(cells, raw(), formatter).text,
            "TRUE\tFALSE\t\"text, as is\"\t#DIV/0!\t1234.5\r\n");
}

// What a date-formatted cell holding `serial` gives as a raw value.
std::string rawDate(double serial, bool date1904 = false, std::uint32_t formatId = 22) {
  CellFormatter formatter;
  formatter.setDate1904(date1904);
  formatter.setStyleFormats({formatId});
  std::string out;
  formatter.appendRawNumber(0, serial, out);
  return out;
}

TEST(RawValues, DatesAndTimesOfDateFormattedCellsInIso8601) {
  EXPECT_EQ(rawDate(45322), "2024-01-31");
  EXPECT_EQ(rawDate(45322.5729166667), "2024-01-31T13:45:00");
  EXPECT_EQ(rawDate(0.5729166666666666), "13:45:00");
  EXPECT_EQ(rawDate(0), "00:00:00");
  EXPECT_EQ(rawDate(45322.5729166667 + 0.5 / 86400), "2024-01-31T13:45:00.5");
  EXPECT_EQ(rawDate(0.25 + 0.125 / 86400), "06:00:00.125");
  // Milliseconds round, and carry into the next day.
  EXPECT_EQ(rawDate(45322 + (86400 - 0.0004) / 86400), "2024-02-01");
  // The 1900 system's first days, its 1900-02-29 (no calendar day: a number)
  // and the days after it.
  EXPECT_EQ(rawDate(1), "1900-01-01");
  EXPECT_EQ(rawDate(59), "1900-02-28");
  EXPECT_EQ(rawDate(60), "60");
  EXPECT_EQ(rawDate(60.5), "60.5");
  EXPECT_EQ(rawDate(61), "1900-03-01");
  EXPECT_EQ(rawDate(2958465), "9999-12-31");
  EXPECT_EQ(rawDate(2958466), "2958466");
  EXPECT_EQ(rawDate(-1), "-1");
  // The 1904 system counts from 1904-01-01; under a day is a time alone.
  EXPECT_EQ(rawDate(43860, true), "2024-01-31");
  EXPECT_EQ(rawDate(1, true), "1904-01-02");
  EXPECT_EQ(rawDate(0.5, true), "12:00:00");
  EXPECT_EQ(rawDate(2957003, true), "9999-12-31");
  // The format decides only whether the value is a point in time: a date
  // format shows the time of day it hides, an elapsed time is a number.
  EXPECT_EQ(rawDate(45322.75, false, 14), "2024-01-31T18:00:00");
  EXPECT_EQ(rawDate(45322.75, false, 20), "2024-01-31T18:00:00");
  EXPECT_EQ(rawDate(1.5, false, 46), "1.5");
  EXPECT_EQ(rawDate(45322, false, 0), "45322");
}

TEST(RawValues, IsoDatesReadBackAsTheirSerialToTheMillisecond) {
  std::mt19937 random(3);
  for (bool date1904 : {false, true}) {
    std::uniform_real_distribution<double> serial(0, date1904 ? 2957003 : 2958465);
    for (int i = 0; i < 5000; ++i) {
      const double v = serial(random);
      const std::string iso = rawDate(v, date1904);
      if (!date1904 && v >= 60 && v < 61) continue;
      const std::optional<double> back = xlsx::isoDateToSerial(iso, date1904);
      ASSERT_TRUE(back) << iso;
      EXPECT_NEAR(*back, v, 0.0005 / 86400 + 1e-9) << iso;
    }
  }
}

TEST(RawValues, TheSameUnderARecordedRange) {
  CellFormatter formatter;
  formatter.setStyleFormats({0, 14});
  const Cells cells = {{0, 0, K::Number, 45322, "", 1}, {0, 1, K::Number, 0.1, "0.1", 0}};
  Written direct = writeWith(cells, raw(), formatter, CellRange{0, 0, 0, 1});
  EXPECT_EQ(direct.text, "2024-01-31\t0.1\r\n");
  EXPECT_EQ(direct.opens, 1);
  EXPECT_EQ(writeWith(cells, {}, formatter).text, "1/31/2024\t0.1\r\n");
}

TEST(PaddingLimit, PaddingCountsSeparatorsAndLineEnds) {
  EXPECT_EQ(paddingBytes(1, 1), 2u);
  EXPECT_EQ(paddingBytes(3, 4), 15u);
  EXPECT_EQ(paddingBytes(1048576, 16384), 17180917760u);
}

TEST(PaddingLimit, ARangeOverTheLimitIsRefusedBeforeAnyFileIsMade) {
  const Cells cells = {{0, 0, K::Number, 1, ""}, {9, 3, K::Blank, 0, ""}};  // A1:D10: 50 bytes
  CellFormatter formatter;
  TextOptions tight;
  tight.maxPaddingBytes = 49;
  for (std::optional<CellRange> range :
       {std::optional<CellRange>{}, std::optional<CellRange>{CellRange{0, 0, 9, 3}},
        std::optional<CellRange>{CellRange{0, 0, 1, 1}}}) {
    test::TempDir dir;
    try {
      writeSheetText(
          [&]() -> std::unique_ptr<SheetCursor> {
            if (range) return std::make_unique<RangedCursor>(cells, *range);
            return std::make_unique<VectorCursor>(cells);
          },
          formatter, dir.file("out.txt"), {}, tight);
      FAIL() << "written";
    } catch (const SheetTooLarge& e) {
      EXPECT_EQ(std::string(e.what()),
                "spans A1:D10, whose separators and line ends alone would take 50 bytes, past "
                "the limit of 49 bytes");
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));  // no file, no temporary file
  }
  tight.maxPaddingBytes = 50;
  EXPECT_EQ(writeWith(cells, tight, formatter).text.size(), 51u);
}

TEST(PaddingLimit, AFalseHugeRecordedRangeIsCheckedAgainstTheCells) {
  // The range a sheet records is a hint: a sheet claiming A1:XFD1048576
  // whose cells fill A1:B2 is written.
  const Cells cells = {{0, 0, K::Number, 1, ""}, {1, 1, K::Number, 2, ""}};
  CellFormatter formatter;
  Written w = writeWith(cells, {}, formatter, CellRange{0, 0, kMaxRows - 1, kMaxColumns - 1});
  EXPECT_EQ(w.text, "1\t\r\n\t2\r\n");
}

TEST(PaddingLimit, TheComponentNamesTheWorkbookTheWorksheetAndItsRange) {
  // One blank cell at XFD1048576, styled: 16 GiB of tabs.
  test::TempDir dir;
  test::XlsxBuilder()
      .worksheet("Small", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")
      .worksheet("Far",
                 "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                 "<row r=\"1048576\"><c r=\"XFD1048576\" s=\"0\"/></row>")
      .write(dir.file("Bomb.xlsx"));
  auto app = createApplication();
  Workbook& book = app->open(dir.file("Bomb.xlsx"));
  book.selectSheet(2);
  const std::string out = dir.file("out");
  fs::create_directory(out);
  try {
    book.saveAs(out + "/Far.txt", xlCurrentPlatformText);
    FAIL() << "written";
  } catch (const SpreadsheetError& e) {
    EXPECT_EQ(e.code(), ErrorCode::TooLarge);
    EXPECT_EQ(e.description(),
              "'Bomb.xlsx' is too large to read: its worksheet 'Far' spans A1:XFD1048576, whose "
              "separators and line ends alone would take 16 GiB, past the limit of 1 GiB");
  }
  EXPECT_TRUE(fs::is_empty(out));
  TextOptions roomy;
  roomy.maxPaddingBytes = 20;
  book.selectSheet(1);
  book.saveAs(out + "/Small.txt", xlCurrentPlatformText, {}, roomy);
  EXPECT_EQ(test::readFile(out + "/Small.txt"), "1\r\n");
}

// Standard output pointed at a file while `body` runs.
std::string capturedStandardOutput(const std::function<void()>& body) {
  test::TempDir dir;
  const std::string file = dir.file("stdout");
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(fd, STDOUT_FILENO);
  ::close(fd);
  try {
    body();
  } catch (...) {
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    throw;
  }
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  return test::readFile(file);
}

TEST(StandardOutput, GetsTheBytesOfTheFileAndNothingWhenTheSheetFails) {
  Cells cells;
  for (std::uint32_t r = 0; r < 30000; ++r) {
    cells.push_back({r, 0, K::Text, 0, "row " + std::to_string(r)});
    cells.push_back({r, 3, K::Number, r * 0.5, ""});
  }
  CellFormatter formatter;
  for (std::optional<CellRange> range :
       {std::optional<CellRange>{}, std::optional<CellRange>{CellRange{0, 0, 29999, 3}}}) {
    const Written file = writeWith(cells, csv(), formatter, range);
    const std::string shown = capturedStandardOutput([&] {
      writeSheetText(
          [&]() -> std::unique_ptr<SheetCursor> {
            if (range) return std::make_unique<RangedCursor>(cells, *range);
            return std::make_unique<VectorCursor>(cells);
          },
          formatter, std::string(kStandardOutput), {}, csv());
    });
    EXPECT_EQ(shown.size(), file.text.size());
    EXPECT_TRUE(shown == file.text);
  }
  // A sheet that fails half-way sends nothing.
  Cells broken = cells;
  broken.push_back({kMaxRows, 0, K::Number, 1, ""});
  const std::string shown = capturedStandardOutput([&] {
    VectorCursor cursor(broken);
    EXPECT_THROW(writeSheetText(cursor, formatter, std::string(kStandardOutput)), FormatError);
  });
  EXPECT_EQ(shown, "");
}

TEST(StandardOutput, AnUnwritableStandardOutputIsACannotWriteError) {
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int readOnly = ::open("/dev/null", O_RDONLY);
  ::dup2(readOnly, STDOUT_FILENO);
  ::close(readOnly);
  VectorCursor cursor({{0, 0, K::Number, 1, ""}});
  CellFormatter formatter;
  std::string message;
  try {
    writeSheetText(cursor, formatter, std::string(kStandardOutput));
  } catch (const SpreadsheetError& e) {
    message = e.description();
  }
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  EXPECT_EQ(message, "cannot write 'standard output': Bad file descriptor");
}

}  // namespace
}  // namespace quorvel::spreadsheet
