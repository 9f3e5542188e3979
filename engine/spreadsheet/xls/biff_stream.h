#pragma once
// Reads the records of a BIFF stream (type, size, data) through a buffer,
// decrypting their data when the workbook has a FilePass record.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/package/random_access_source.h"
#include "engine/spreadsheet/xls/biff_decryptor.h"

namespace quorvel::spreadsheet::xls {

namespace biff {
// Record types ([MS-XLS] 2.3 and the BIFF2-4 forms).
enum : std::uint16_t {
  kBlank2 = 0x0001,
  kInteger2 = 0x0002,
  kNumber2 = 0x0003,
  kLabel2 = 0x0004,
  kBoolErr2 = 0x0005,
  kFormula = 0x0006,  // BIFF2, BIFF5, BIFF8
  kString2 = 0x0007,
  kRow2 = 0x0008,
  kBof2 = 0x0009,
  kEof = 0x000A,
  kFormat2 = 0x001E,  // BIFF2-3 (and some BIFF4)
  kColumnDefault2 = 0x0020,
  kDate1904 = 0x0022,
  kDefaultRowHeight2 = 0x0025,
  kFilePass = 0x002F,
  kContinue = 0x003C,
  kCodePage = 0x0042,
  kXf2 = 0x0043,
  kColInfo = 0x007D,
  kRk2 = 0x007E,
  kWsBool = 0x0081,
  kBoundSheet = 0x0085,
  kBundleSheet4 = 0x008F,
  kMulRk = 0x00BD,
  kMulBlank = 0x00BE,
  kRString = 0x00D6,
  kXf = 0x00E0,
  kInterfaceHdr = 0x00E1,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kRrdHead = 0x0138,
  kUsrExcl = 0x0194,
  kFileLock = 0x0195,
  kRrdInfo = 0x0196,
  kBlank = 0x0201,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kFormula3 = 0x0206,
  kString = 0x0207,
  kRow = 0x0208,
  kBof3 = 0x0209,
  kDefaultRowHeight = 0x0225,
  kArray = 0x0221,
  kTable = 0x0236,
  kXf3 = 0x0243,
  kRk = 0x027E,
  kFormula4 = 0x0406,
  kBof4 = 0x0409,
  kFormat = 0x041E,  // BIFF4-8
  kXf4 = 0x0443,
  kShrFmla = 0x04BC,
  kBof = 0x0809,
};
}  // namespace biff

struct BiffRecord {
  std::uint16_t type = 0;
  std::uint64_t offset = 0;  // stream offset of the record's header
  std::string_view data;     // valid until the next read
  const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(data.data()); }
};

class BiffStream {
 public:
  explicit BiffStream(RandomAccessSource& source);
  // Records after this call are decrypted (the ones [MS-XLS] 2.2.10 leaves
  // clear excepted).
  void setDecryptor(BiffDecryptor* decryptor) { decryptor_ = decryptor; }
  void seek(std::uint64_t offset);
  std::uint64_t position() const { return pos_; }
  std::uint64_t size() const { return size_; }
  // The next record; false at the end of the stream (or before a header cut
  // short by it). A record whose data runs past the end raises Damaged.
  bool next(BiffRecord& record);
  // The type of the next record without reading it; false at the end.
  bool peekType(std::uint16_t& type);

 private:
  bool ensure(std::size_t n);  // n bytes buffered from pos_, false past the end

  RandomAccessSource& source_;
  std::uint64_t size_;
  std::uint64_t pos_ = 0;       // stream offset of the next record
  std::uint64_t bufStart_ = 0;  // stream offset of buf_[0]
  std::size_t bufLen_ = 0;
  std::vector<unsigned char> buf_;
  std::size_t chunk_ = 0;  // bytes of the last read
  BiffDecryptor* decryptor_ = nullptr;
};

}  // namespace quorvel::spreadsheet::xls
