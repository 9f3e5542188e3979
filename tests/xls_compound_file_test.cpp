// The compound file reader on files the tests build, intact and damaged.
#include <gtest/gtest.h>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "tests/support/biff_writer.h"

namespace quorvel::spreadsheet {
namespace {

using test::CompoundFileWriter;

std::string pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
  return s;
}

std::string readAll(RandomAccessSource& s) {
  std::string out(static_cast<std::size_t>(s.size()), '\0');
  s.read(0, out.data(), out.size());
  return out;
}

ErrorCode openError(const std::string& bytes, const std::string& stream = "") {
  try {
    CompoundFile f(memorySource(bytes));
    if (!stream.empty()) {
      auto s = f.openStream(stream);
      readAll(*s);
    }
  } catch (const FormatError& e) {
    EXPECT_STRNE(e.what(), "");
    return e.code();
  }
  ADD_FAILURE() << "no error";
  return ErrorCode::CannotOpen;
}

TEST(XlsCompoundFile, ReadsRegularAndMiniStreamsByNameInAnyCase) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    CompoundFileWriter w(version);
    std::string big = pattern(20000, 1), small = pattern(700, 2), tiny = "x";
    w.addStream("Workbook", big);
    w.addStream("\x05SummaryInformation", small);
    w.addStream("Tiny", tiny);
    w.addStream("Empty", "");
    CompoundFile f(memorySource(w.build()));
    EXPECT_TRUE(f.hasStream("WORKBOOK"));
    EXPECT_TRUE(f.hasStream("workbook"));
    EXPECT_FALSE(f.hasStream("Book"));
    EXPECT_EQ(f.readStream("workBOOK", 1 << 20), big);
    EXPECT_EQ(f.readStream("\x05summaryinformation", 1 << 20), small);
    EXPECT_EQ(f.readStream("tiny", 10), tiny);
    EXPECT_EQ(f.readStream("Empty", 10), "");
    // Random access across sector boundaries (512 regular, 64 mini).
    auto s = f.openStream("Workbook");
    char buf[700];
    s->read(500, buf, 700);
    EXPECT_EQ(std::string(buf, 700), big.substr(500, 700));
    auto m = f.openStream("\x05SummaryInformation");
    m->read(60, buf, 100);
    EXPECT_EQ(std::string(buf, 100), small.substr(60, 100));
    EXPECT_THROW(s->read(19990, buf, 20), FormatError);
    try {
      f.readStream("Workbook", 100);
      ADD_FAILURE() << "a stream over the limit was read";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.code(), ErrorCode::TooLarge);
    }
    EXPECT_THROW(f.openStream("Missing"), FormatError);
  }
}

TEST(XlsCompoundFile, FollowsTheDifatPast109AllocationSectors) {
  // 109 FAT sectors map 109 * 128 sectors: a stream of 7.5 MB needs more.
  std::string big = pattern(7'500'000, 3);
  CompoundFileWriter w;
  w.addStream("Workbook", big);
  std::string file = w.build();
  CompoundFile f(memorySource(file));
  auto s = f.openStream("Workbook");
  ASSERT_EQ(s->size(), big.size());
  std::string tail(1000, '\0');
  s->read(big.size() - 1000, tail.data(), 1000);
  EXPECT_EQ(tail, big.substr(big.size() - 1000));
}

TEST(XlsCompoundFile, DamagedChainsGiveAClearError) {
  CompoundFileWriter w;
  w.addStream("Workbook", pattern(6000, 4));
  std::string good = w.build();
  std::uint32_t first = w.firstSector("Workbook");

  std::string cyclic = good;
  w.patchFat(cyclic, first + 3, first + 1);
  EXPECT_EQ(openError(cyclic, "Workbook"), ErrorCode::Damaged);

  std::string outside = good;
  w.patchFat(outside, first + 2, 100000);
  EXPECT_EQ(openError(outside, "Workbook"), ErrorCode::Damaged);

  std::string early = good;
  w.patchFat(early, first + 2, 0xFFFFFFFE);
  EXPECT_EQ(openError(early, "Workbook"), ErrorCode::Damaged);

  // Cut inside the stream's sectors: the header and directory are intact.
  std::string truncated = good.substr(0, good.size() - 3000);
  EXPECT_EQ(openError(truncated, "Workbook"), ErrorCode::Damaged);
  // Cut inside the header.
  EXPECT_EQ(openError(good.substr(0, 300)), ErrorCode::Damaged);
}

TEST(XlsCompoundFile, DamagedHeaderOrDirectoryGivesAClearError) {
  CompoundFileWriter w;
  w.addStream("Workbook", pattern(5000, 5));
  w.addStream("Other", pattern(100, 6));
  std::string good = w.build();

  std::string notCfb = good;
  notCfb[0] = 'X';
  EXPECT_EQ(openError(notCfb), ErrorCode::NotAWorkbook);

  // An absurd FAT sector count is refused before anything is allocated.
  std::string hugeFat = good;
  hugeFat[44] = hugeFat[45] = hugeFat[46] = '\xFF';
  hugeFat[47] = '\x7F';
  EXPECT_EQ(openError(hugeFat), ErrorCode::Damaged);

  std::string badSector = good;
  badSector[30] = 10;
  EXPECT_EQ(openError(badSector), ErrorCode::Damaged);

  // The directory sector follows the FAT sector: entry 1's right sibling
  // pointing back at itself makes the tree loop.
  std::size_t dir = (static_cast<unsigned char>(good[48]) + 1) * 512;
  std::string loop = good;
  loop[dir + 128 + 72] = 1;
  loop[dir + 128 + 73] = loop[dir + 128 + 74] = loop[dir + 128 + 75] = 0;
  EXPECT_EQ(openError(loop), ErrorCode::Damaged);

  std::string sibling = good;
  sibling[dir + 128 + 72] = 90;
  EXPECT_EQ(openError(sibling), ErrorCode::Damaged);

  // A stream claiming more bytes than the file holds.
  std::string size = good;
  size[dir + 128 + 120 + 3] = 0x10;
  EXPECT_EQ(openError(size, "Workbook"), ErrorCode::Damaged);
}

}  // namespace
}  // namespace quorvel::spreadsheet
