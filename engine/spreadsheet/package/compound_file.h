#pragma once
// A reader of compound files ([MS-CFB]): the container of .xls workbooks and
// of encrypted OOXML packages. Every sector chain, index and size is checked
// against the file, so a damaged container raises FormatError (Damaged)
// instead of reading outside it, looping or allocating more than its size
// justifies.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/package/random_access_source.h"

namespace quorvel::spreadsheet {

class CompoundFile {
 public:
  // Reads the header, the FAT (with its DIFAT chain) and the directory.
  // Throws FormatError: NotAWorkbook without the signature, Damaged otherwise.
  explicit CompoundFile(std::unique_ptr<RandomAccessSource> file);
  ~CompoundFile();
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // Whether the root storage holds a stream of that name (any letter case).
  bool hasStream(std::string_view name) const;
  // Random access to a stream of the root storage; throws FormatError when
  // it is missing or its sectors are broken. The source reads through this
  // object, which must outlive it.
  std::unique_ptr<RandomAccessSource> openStream(std::string_view name);
  // A small stream read whole; larger than `maxBytes` raises TooLarge.
  std::string readStream(std::string_view name, std::size_t maxBytes);

  // Names of the root storage's streams, as stored (for messages and tests).
  std::vector<std::string> streamNames() const;

 private:
  struct Entry {
    std::string name;   // UTF-8
    std::string lower;  // ASCII letters lowered, for lookups
    std::uint8_t type = 0;
    std::uint32_t left = 0, right = 0, child = 0;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
  };

  void readHeader();
  void readFat();
  void readDirectory();
  void collectRootStreams();
  const Entry* findStream(std::string_view name) const;
  // The regular sectors of a chain holding `bytes` bytes, each checked.
  std::vector<std::uint32_t> chain(std::uint32_t start, std::uint64_t bytes,
                                   const char* what) const;
  std::vector<std::uint32_t> miniChain(std::uint32_t start, std::uint64_t bytes) const;
  void readSector(std::uint32_t sector, void* dst) const;

  std::unique_ptr<RandomAccessSource> file_;
  std::uint64_t fileSize_ = 0;
  unsigned sectorShift_ = 9;
  std::uint32_t sectorSize_ = 512;
  std::uint32_t sectorCount_ = 0;  // regular sectors the file holds
  std::uint32_t fatSectors_ = 0, firstDirSector_ = 0;
  std::uint32_t firstMiniFatSector_ = 0, miniFatSectors_ = 0;
  std::uint32_t firstDifatSector_ = 0, difatSectors_ = 0;
  std::vector<std::uint32_t> difatHead_;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> miniFat_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> rootStreams_;  // indices into entries_
  std::vector<std::uint32_t> miniStreamSectors_;
  bool miniLoaded_ = false;

  friend class CompoundStream;
};

}  // namespace quorvel::spreadsheet
