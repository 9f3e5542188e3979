// The .xlsb record stream: variable-length headers at their boundaries,
// payloads across read boundaries, damaged parts, and field reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/rk_number.h"
#include "engine/spreadsheet/xlsb/record_fields.h"
#include "engine/spreadsheet/xlsb/record_reader.h"
#include "tests/support/xlsb_writer.h"

namespace quorvel::spreadsheet::xlsb {
namespace {

using test::xlsb::appendRecord;
using test::xlsb::Payload;
using test::xlsb::recordHeader;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

// Hands out the part a few bytes at a time, as a slow inflater might.
class TrickleSource final : public SequentialSource {
 public:
  TrickleSource(std::string data, std::size_t step) : data_(std::move(data)), step_(step) {}
  std::size_t read(char* buffer, std::size_t n) override {
    n = std::min({n, step_, data_.size() - at_});
    data_.copy(buffer, n, at_);
    at_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t step_, at_ = 0;
};

struct Read {
  std::uint16_t type;
  std::uint32_t size;
  std::string payload;
};

std::vector<Read> readAll(SequentialSource& source, bool payloads = true) {
  RecordReader reader(source, "xl/worksheets/sheet1.bin");
  std::vector<Read> out;
  while (reader.next())
    out.push_back(
        {reader.type(), reader.size(), payloads ? std::string(reader.payload()) : std::string()});
  return out;
}

std::vector<Read> readAll(const std::string& data, bool payloads = true) {
  MemorySequentialSource source(data);
  return readAll(source, payloads);
}

ErrorCode errorOf(const std::string& data, bool payloads = true) {
  try {
    readAll(data, payloads);
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("xl/worksheets/sheet1.bin"), std::string::npos)
        << e.what();
    return e.code();
  }
  ADD_FAILURE() << "no error";
  return ErrorCode::CannotOpen;
}

TEST(XlsbRecordHeader, DecodesTheEncodingsAsStored) {
  // BrtBeginBook (131) with no payload, BrtBundleSh (156) of 40 bytes, and
  // BrtRowHdr (0) of 128 bytes: a two-byte size.
  std::string data = bytes({0x83, 0x01, 0x00}) + bytes({0x9C, 0x01, 0x28}) + std::string(40, 'x') +
                     bytes({0x00, 0x80, 0x01}) + std::string(128, 'y');
  auto records = readAll(data);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, 131);
  EXPECT_EQ(records[0].size, 0u);
  EXPECT_EQ(records[1].type, 156);
  EXPECT_EQ(records[1].payload, std::string(40, 'x'));
  EXPECT_EQ(records[2].type, 0);
  EXPECT_EQ(records[2].size, 128u);
}

TEST(XlsbRecordHeader, TypesAndSizesAtEveryLengthBoundary) {
  EXPECT_EQ(recordHeader(127, 127).size(), 2u);
  EXPECT_EQ(recordHeader(128, 128).size(), 4u);
  EXPECT_EQ(recordHeader(16383, 16384).size(), 5u);
  EXPECT_EQ(recordHeader(16383, 2097152).size(), 6u);
  std::vector<std::pair<std::uint16_t, std::uint32_t>> headers;
  for (std::uint16_t t : {0, 1, 127, 128, 129, 255, 256, 16383})
    for (std::uint32_t s : {0, 1, 127, 128, 129, 16383, 16384, 16385}) headers.emplace_back(t, s);
  for (std::uint32_t s : {2097151, 2097152, 2097153}) headers.emplace_back(16383, s);
  auto fill = [](std::uint16_t t, std::uint32_t s) {
    return std::string(s, static_cast<char>('a' + (t + s) % 26));
  };
  std::string data;
  for (auto [t, s] : headers) appendRecord(data, t, fill(t, s));

  // Whole, and trickled so that headers and payloads straddle every read.
  MemorySequentialSource whole(data);
  TrickleSource trickled(data, 7);
  for (SequentialSource* source :
       {static_cast<SequentialSource*>(&whole), static_cast<SequentialSource*>(&trickled)}) {
    auto records = readAll(*source);
    ASSERT_EQ(records.size(), headers.size());
    for (std::size_t i = 0; i < headers.size(); ++i) {
      auto [t, s] = headers[i];
      EXPECT_EQ(records[i].type, t);
      ASSERT_EQ(records[i].size, s);
      EXPECT_EQ(records[i].payload, fill(t, s)) << t << " " << s;
    }
  }
}

TEST(XlsbRecordHeader, LargestEncodableSizeIsFourGroupsOfSevenBits) {
  // 0x0FFFFFFF is the largest size four bytes can hold; the part then ends.
  std::string data = bytes({0x05, 0xFF, 0xFF, 0xFF, 0x7F}) + "short";
  MemorySequentialSource source(data);
  RecordReader reader(source, "xl/worksheets/sheet1.bin");
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.size(), 0x0FFFFFFFu);
  try {
    reader.payload();
    FAIL() << "no error";
  } catch (const FormatError& e) {
    EXPECT_EQ(e.code(), ErrorCode::TooLarge);
  }
}

TEST(XlsbRecordHeader, UnreadPayloadsAreSkipped) {
  std::string data;
  appendRecord(data, 7, "first");
  appendRecord(data, 300, std::string(70000, 'z'));  // crosses the reader's chunk
  appendRecord(data, 9, "third");
  MemorySequentialSource source(data);
  RecordReader reader(source, "p");
  ASSERT_TRUE(reader.next());
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.type(), 300);
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.payload(), "third");
  EXPECT_EQ(reader.recordOffset(), data.size() - 7);
  EXPECT_FALSE(reader.next());
}

TEST(XlsbRecordHeader, DamagedStreamsFailWithTheirPartName) {
  // A payload that runs past the end of the part.
  EXPECT_EQ(errorOf(recordHeader(5, 10) + "12345"), ErrorCode::Damaged);
  // A size that claims far more than the part holds, skipped without reading.
  EXPECT_EQ(errorOf(bytes({0x40, 0xFF, 0xFF, 0xFF, 0x7F}), false), ErrorCode::Damaged);
  // A header cut short: a type's first byte promising a second, a size byte
  // promising more.
  EXPECT_EQ(errorOf(bytes({0x83})), ErrorCode::Damaged);
  EXPECT_EQ(errorOf(bytes({0x05, 0x80})), ErrorCode::Damaged);
  // A type of three bytes, a size of five.
  EXPECT_EQ(errorOf(bytes({0x83, 0x81, 0x01, 0x00})), ErrorCode::Damaged);
  EXPECT_EQ(errorOf(bytes({0x05, 0x80, 0x80, 0x80, 0x80, 0x01})), ErrorCode::Damaged);
  // An empty part holds no record and is not an error.
  EXPECT_TRUE(readAll(std::string()).empty());
}

TEST(XlsbRecordFields, WideStrings) {
  std::string part = "p";
  auto decode = [&](const Payload& p) {
    RecordFields f(p, 6, part);
    std::string out;
    f.wideString(out);
    EXPECT_EQ(f.remaining(), 0u);
    return out;
  };
  EXPECT_EQ(decode(Payload().wide("")), "");
  EXPECT_EQ(decode(Payload().wide("plain ascii")), "plain ascii");
  EXPECT_EQ(decode(Payload().wide("Grüße, €, जा")), "Grüße, €, जा");
  EXPECT_EQ(decode(Payload().wide("sushi \xF0\x9F\x8D\xA3")), "sushi \xF0\x9F\x8D\xA3");
  // Unpaired surrogates, alone and at the end.
  EXPECT_EQ(decode(Payload().wideUnits({0xD800, 'a', 0xDC00})),
            "\xEF\xBF\xBD"
            "a\xEF\xBF\xBD");
  EXPECT_EQ(decode(Payload().wideUnits({'b', 0xD83C})), "b\xEF\xBF\xBD");
}

TEST(XlsbRecordFields, ReadsPastTheRecordAreDamage) {
  std::string part = "xl/styles.bin";
  auto damagedBy = [&](const Payload& p, auto read) {
    RecordFields f(p, 0x2C, part);
    try {
      read(f);
    } catch (const FormatError& e) {
      EXPECT_NE(std::string(e.what()).find("xl/styles.bin"), std::string::npos);
      return e.code() == ErrorCode::Damaged;
    }
    return false;
  };
  std::string s;
  EXPECT_TRUE(damagedBy(Payload().u8(1), [](RecordFields& f) { f.u16(); }));
  EXPECT_TRUE(damagedBy(Payload().u32(7), [](RecordFields& f) { f.f64(); }));
  // A character count past the record, and one whose byte count overflows 32 bits.
  EXPECT_TRUE(
      damagedBy(Payload().u32(3).u16('a').u16('b'), [&](RecordFields& f) { f.wideString(s); }));
  EXPECT_TRUE(
      damagedBy(Payload().u32(0x80000001).u16('a'), [&](RecordFields& f) { f.wideString(s); }));
  EXPECT_TRUE(damagedBy(Payload().u8(0), [&](RecordFields& f) { f.nullableWideString(s); }));
  // The null string is not an error.
  std::string nullString = Payload().u32(0xFFFFFFFF).str();  // outlives the fields reading it
  RecordFields f(nullString, 0x9C, part);
  s = "kept";
  EXPECT_FALSE(f.nullableWideString(s));
  EXPECT_EQ(s, "kept");
}

TEST(XlsbRkNumber, AllFourForms) {
  EXPECT_EQ(decodeRk(test::xlsb::rkInteger(5)), 5.0);
  EXPECT_EQ(decodeRk(test::xlsb::rkInteger(-5)), -5.0);
  EXPECT_EQ(decodeRk(test::xlsb::rkInteger(536870911)), 536870911.0);
  EXPECT_EQ(decodeRk(test::xlsb::rkInteger(-536870912)), -536870912.0);
  EXPECT_DOUBLE_EQ(decodeRk(test::xlsb::rkInteger(123, true)), 1.23);
  EXPECT_DOUBLE_EQ(decodeRk(test::xlsb::rkInteger(-12345, true)), -123.45);
  EXPECT_EQ(decodeRk(test::xlsb::rkDouble(1.0)), 1.0);
  EXPECT_EQ(decodeRk(test::xlsb::rkDouble(-0.5)), -0.5);
  EXPECT_EQ(decodeRk(test::xlsb::rkDouble(1e300)) > 9e299, true);
  EXPECT_DOUBLE_EQ(decodeRk(test::xlsb::rkDouble(0.5, true)), 0.005);
  // As Excel stores them: 0x3FF00000 is 1.0; 0x00000402 is the integer 256.
  EXPECT_EQ(decodeRk(0x3FF00000u), 1.0);
  EXPECT_EQ(decodeRk(0x00000402u), 256.0);
  EXPECT_DOUBLE_EQ(decodeRk(0x00000403u), 2.56);
}

}  // namespace
}  // namespace quorvel::spreadsheet::xlsb
