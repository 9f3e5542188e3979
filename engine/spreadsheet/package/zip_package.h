#pragma once
// An Open Packaging Conventions package (.xlsx, .xlsm, .xlsb): zip entries
// found by part name (letter case and backslashes forgiven) and the
// relationships between parts.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/spreadsheet/package/inflater.h"
#include "engine/spreadsheet/package/relationships.h"

struct zip;
struct zip_file;

namespace quorvel::spreadsheet {

// Sequential reading of one part, inflated as it goes; the size and the CRC
// are checked at the end. Throws FormatError on damaged data.
class PartStream {
 public:
  // With an inflater, `file` gives the raw deflate data and the part must
  // inflate to `size` bytes with the CRC `crc`; without one, libzip inflates
  // and checks. `compressedSize` sizes the buffer of raw bytes.
  PartStream(zip_file* file, std::string partName, std::uint64_t size,
             std::unique_ptr<Inflater> inflater = nullptr, std::uint32_t crc = 0,
             std::uint64_t compressedSize = 0);
  ~PartStream();
  PartStream(const PartStream&) = delete;
  PartStream& operator=(const PartStream&) = delete;

  // Reads up to n bytes; 0 at the end of the part. A deflated part gives n
  // bytes but at its end.
  std::size_t read(char* buffer, std::size_t n);
  std::uint64_t size() const { return size_; }  // uncompressed size, as stored
  const std::string& partName() const { return name_; }

 private:
  std::size_t inflateInto(char* buffer, std::size_t n);
  void finish();

  zip_file* file_;
  std::string name_;
  std::uint64_t size_;
  std::unique_ptr<Inflater> inflater_;
  std::uint32_t crc_;
  std::unique_ptr<unsigned char[]> raw_;  // compressed bytes read, not yet inflated
  std::size_t rawSize_ = 0, rawAt_ = 0, rawEnd_ = 0;
  std::uint64_t produced_ = 0;
  bool rawDone_ = false, done_ = false;
};

class ZipPackage {
 public:
  // Throws FormatError: CannotOpen, NotAWorkbook (not a zip archive).
  // Deflated parts inflate with `backend` (the tests try each one).
  static std::unique_ptr<ZipPackage> open(const std::string& path,
                                          InflateBackend backend = inflateBackends().front());
  ~ZipPackage();

  bool has(std::string_view partName) const;
  std::unique_ptr<PartStream> openPart(std::string_view partName) const;
  // The whole part, for small parts; TooLarge past `limit` bytes.
  std::string readPart(std::string_view partName, std::size_t limit) const;

  // The relationships of a part ("" for the package's own), targets resolved.
  // A missing relationships part gives none.
  std::vector<Relationship> relationships(std::string_view sourcePart) const;

  // The main workbook part: the package's officeDocument relationship, else
  // a conventional name. NotAWorkbook when there is none.
  std::string workbookPart() const;

  // Part names as stored, for diagnostics and tests.
  std::vector<std::string> partNames() const;

 private:
  ZipPackage() = default;
  std::int64_t indexOf(std::string_view partName) const;

  zip* archive_ = nullptr;
  InflateBackend backend_ = InflateBackend::Zlib;
  std::unordered_map<std::string, std::int64_t> index_;  // normalised name -> entry
};

}  // namespace quorvel::spreadsheet
