#include "engine/spreadsheet/package/compound_file.h"

#include <algorithm>
#include <cstring>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/little_endian.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint64_t kMiniStreamCutoff = 4096;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::uint64_t kUntilEnd = ~std::uint64_t{0};

enum : std::uint8_t { kStorage = 1, kStream = 2, kRoot = 5 };

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Directory names are at most 31 UTF-16 units.
std::string utf16Name(const unsigned char* p, std::size_t units) {
  std::string out;
  appendUtf16le(p, units, out);
  return out;
}

}  // namespace

// A stream as runs of contiguous file bytes.
class CompoundStream final : public RandomAccessSource {
 public:
  struct Extent {
    std::uint64_t streamOffset;
    std::uint64_t fileOffset;
  };
  CompoundStream(RandomAccessSource& file, std::vector<Extent> extents, std::uint64_t size)
      : file_(file), extents_(std::move(extents)), size_(size) {}

  std::uint64_t size() const override { return size_; }

  void read(std::uint64_t offset, void* dst, std::size_t n) override {
    if (offset > size_ || n > size_ - offset) damaged("a record runs past the end of its stream");
    auto* out = static_cast<char*>(dst);
    auto it =
        std::upper_bound(extents_.begin(), extents_.end(), offset,
                         [](std::uint64_t off, const Extent& e) { return off < e.streamOffset; });
    std::size_t i = static_cast<std::size_t>(it - extents_.begin()) - 1;
    while (n > 0) {
      const Extent& e = extents_[i];
      std::uint64_t end = i + 1 < extents_.size() ? extents_[i + 1].streamOffset : size_;
      std::uint64_t inExtent = offset - e.streamOffset;
      std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, end - offset));
      file_.read(e.fileOffset + inExtent, out, take);
      out += take;
      offset += take;
      n -= take;
      ++i;
    }
  }

 private:
  RandomAccessSource& file_;
  std::vector<Extent> extents_;
  std::uint64_t size_;
};

CompoundFile::CompoundFile(std::unique_ptr<RandomAccessSource> file) : file_(std::move(file)) {
  fileSize_ = file_->size();
  readHeader();
  readFat();
  readDirectory();
  collectRootStreams();
}

CompoundFile::~CompoundFile() = default;

void CompoundFile::readHeader() {
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char h[512];
  if (fileSize_ < 8) fail(ErrorCode::NotAWorkbook, "the file is too short to be a compound file");
  file_->read(0, h, 8);
  if (std::memcmp(h, kSignature, 8) != 0)
    fail(ErrorCode::NotAWorkbook, "the file is not a compound file");
  if (fileSize_ < sizeof h) damaged("the compound file header is cut short");
  file_->read(0, h, sizeof h);
  if (le16(h + 28) != 0xFFFE) damaged("the compound file header has a wrong byte order mark");
  unsigned shift = le16(h + 30);
  if (shift != 9 && shift != 12) damaged("the compound file has an unknown sector size");
  if (le16(h + 32) != 6) damaged("the compound file has an unknown mini sector size");
  sectorShift_ = shift;
  sectorSize_ = 1u << shift;
  if (fileSize_ <= sectorSize_) damaged("the compound file holds no sector");
  std::uint64_t sectors = (fileSize_ - sectorSize_ + sectorSize_ - 1) >> shift;
  sectorCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, 0xFFFFFFF0u));
  fatSectors_ = le32(h + 44);
  firstDirSector_ = le32(h + 48);
  firstMiniFatSector_ = le32(h + 60);
  miniFatSectors_ = le32(h + 64);
  firstDifatSector_ = le32(h + 68);
  difatSectors_ = le32(h + 72);
  if (fatSectors_ == 0 || fatSectors_ > sectorCount_)
    damaged("the compound file header announces " + std::to_string(fatSectors_) +
            " allocation sectors in a file of " + std::to_string(sectorCount_) + " sectors");
  for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
    difatHead_.push_back(le32(h + 76 + 4 * i));
}

void CompoundFile::readSector(std::uint32_t sector, void* dst) const {
  if (sector >= sectorCount_)
    damaged("sector " + std::to_string(sector) + " lies outside the compound file");
  std::uint64_t offset = (std::uint64_t{sector} + 1) << sectorShift_;
  if (offset + sectorSize_ > fileSize_)
    damaged("the compound file is truncated: sector " + std::to_string(sector) + " is cut short");
  file_->read(offset, dst, sectorSize_);
}

void CompoundFile::readFat() {
  std::vector<std::uint32_t> fatIds;
  for (std::uint32_t id : difatHead_) {
    if (fatIds.size() == fatSectors_ || id == kFreeSect || id == kEndOfChain) break;
    fatIds.push_back(id);
  }
  // The DIFAT chain lists the FAT sectors past the header's 109.
  const std::uint32_t perSector = sectorSize_ / 4;
  std::vector<unsigned char> buf(sectorSize_);
  std::vector<bool> seen(sectorCount_, false);
  std::uint32_t difat = firstDifatSector_;
  while (fatIds.size() < fatSectors_ && difat != kEndOfChain && difat != kFreeSect) {
    if (difat >= sectorCount_) damaged("the compound file's DIFAT chain points outside the file");
    if (seen[difat]) damaged("the compound file's DIFAT chain loops");
    seen[difat] = true;
    readSector(difat, buf.data());
    for (std::uint32_t i = 0; i + 1 < perSector && fatIds.size() < fatSectors_; ++i) {
      std::uint32_t id = le32(buf.data() + 4 * i);
      if (id == kFreeSect || id == kEndOfChain) continue;
      fatIds.push_back(id);
    }
    difat = le32(buf.data() + 4 * (perSector - 1));
  }
  fat_.resize(fatIds.size() * perSector);
  for (std::size_t i = 0; i < fatIds.size(); ++i) {
    if (fatIds[i] >= sectorCount_)
      damaged("an allocation sector of the compound file lies outside the file");
    readSector(fatIds[i], buf.data());
    for (std::uint32_t k = 0; k < perSector; ++k)
      fat_[i * perSector + k] = le32(buf.data() + 4 * k);
  }
}

std::vector<std::uint32_t> CompoundFile::chain(std::uint32_t start, std::uint64_t bytes,
                                               const char* what) const {
  std::vector<std::uint32_t> out;
  std::uint64_t need = bytes == kUntilEnd ? kUntilEnd : (bytes + sectorSize_ - 1) >> sectorShift_;
  if (need != kUntilEnd && need > sectorCount_)
    damaged(std::string("the ") + what + " is larger than the compound file");
  if (need != kUntilEnd) out.reserve(static_cast<std::size_t>(need));
  std::vector<bool> seen(sectorCount_, false);
  std::uint32_t s = start;
  while (out.size() < need) {
    if (s == kEndOfChain && need == kUntilEnd) break;
    if (s == kEndOfChain) damaged(std::string("the ") + what + " ends before its announced size");
    if (s >= sectorCount_ || s >= fat_.size())
      damaged(std::string("the sector chain of the ") + what + " points outside the file");
    if (seen[s]) damaged(std::string("the sector chain of the ") + what + " loops");
    seen[s] = true;
    out.push_back(s);
    s = fat_[s];
  }
  return out;
}

void CompoundFile::readDirectory() {
  std::vector<std::uint32_t> sectors = chain(firstDirSector_, kUntilEnd, "directory");
  if (sectors.empty()) damaged("the compound file has no directory");
  std::vector<unsigned char> buf(sectorSize_);
  const bool v3 = sectorShift_ == 9;
  for (std::uint32_t sector : sectors) {
    readSector(sector, buf.data());
    for (std::size_t off = 0; off + kDirEntrySize <= sectorSize_; off += kDirEntrySize) {
      const unsigned char* p = buf.data() + off;
      Entry e;
      std::size_t nameBytes = std::min<std::size_t>(le16(p + 64), 64);
      std::size_t units = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
      e.name = utf16Name(p, units);
      e.lower = lowerAscii(e.name);
      e.type = p[66];
      e.left = le32(p + 68);
      e.right = le32(p + 72);
      e.child = le32(p + 76);
      e.start = le32(p + 116);
      // Version 3 files may leave garbage in the size's high half.
      e.size = v3 ? le32(p + 120) : le64(p + 120);
      entries_.push_back(std::move(e));
    }
  }
  if (entries_[0].type != kRoot) damaged("the compound file's directory has no root entry");
}

void CompoundFile::collectRootStreams() {
  std::vector<bool> seen(entries_.size(), false);
  std::vector<std::uint32_t> stack;
  if (entries_[0].child != kNoStream) stack.push_back(entries_[0].child);
  while (!stack.empty()) {
    std::uint32_t id = stack.back();
    stack.pop_back();
    if (id >= entries_.size()) damaged("a directory entry points outside the directory");
    if (seen[id] || id == 0) damaged("the compound file's directory tree loops");
    seen[id] = true;
    const Entry& e = entries_[id];
    if (e.type == kStream) rootStreams_.push_back(id);
    if (e.left != kNoStream) stack.push_back(e.left);
    if (e.right != kNoStream) stack.push_back(e.right);
  }
}

const CompoundFile::Entry* CompoundFile::findStream(std::string_view name) const {
  std::string want = lowerAscii(name);
  for (std::uint32_t id : rootStreams_)
    if (entries_[id].lower == want) return &entries_[id];
  return nullptr;
}

bool CompoundFile::hasStream(std::string_view name) const {
  return findStream(name) != nullptr;
}

std::vector<std::string> CompoundFile::streamNames() const {
  std::vector<std::string> out;
  for (std::uint32_t id : rootStreams_) out.push_back(entries_[id].name);
  return out;
}

std::vector<std::uint32_t> CompoundFile::miniChain(std::uint32_t start, std::uint64_t bytes) const {
  std::uint64_t need = (bytes + kMiniSectorSize - 1) / kMiniSectorSize;
  std::uint64_t miniSectors = miniStreamSectors_.size() * (sectorSize_ / kMiniSectorSize);
  if (need > miniSectors) damaged("a small stream is larger than the compound file's mini stream");
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(need));
  std::vector<bool> seen(miniFat_.size(), false);
  std::uint32_t s = start;
  while (out.size() < need) {
    if (s >= miniFat_.size() || s >= miniSectors)
      damaged("the sector chain of a small stream points outside the mini stream");
    if (seen[s]) damaged("the sector chain of a small stream loops");
    seen[s] = true;
    out.push_back(s);
    s = miniFat_[s];
  }
  return out;
}

std::unique_ptr<RandomAccessSource> CompoundFile::openStream(std::string_view name) {
  const Entry* e = findStream(name);
  if (!e) damaged("the compound file has no stream named " + std::string(name));
  std::vector<CompoundStream::Extent> extents;
  auto add = [&](std::uint64_t streamOff, std::uint64_t fileOff, std::uint64_t len) {
    if (!extents.empty()) {
      const auto& last = extents.back();
      if (last.fileOffset + (streamOff - last.streamOffset) == fileOff) return;
    }
    extents.push_back({streamOff, fileOff});
    (void)len;
  };
  if (e->size == 0) return std::make_unique<CompoundStream>(*file_, std::move(extents), 0);
  if (e->size >= kMiniStreamCutoff) {
    std::vector<std::uint32_t> sectors = chain(e->start, e->size, "stream");
    for (std::size_t i = 0; i < sectors.size(); ++i)
      add(std::uint64_t{i} << sectorShift_, (std::uint64_t{sectors[i]} + 1) << sectorShift_,
          sectorSize_);
  } else {
    if (!miniLoaded_) {
      const Entry& root = entries_[0];
      miniStreamSectors_ = chain(root.start, root.size, "mini stream");
      std::vector<std::uint32_t> fatSectors = chain(firstMiniFatSector_, kUntilEnd, "mini FAT");
      std::vector<unsigned char> buf(sectorSize_);
      miniFat_.reserve(fatSectors.size() * (sectorSize_ / 4));
      for (std::uint32_t s : fatSectors) {
        readSector(s, buf.data());
        for (std::uint32_t k = 0; k < sectorSize_ / 4; ++k)
          miniFat_.push_back(le32(buf.data() + 4 * k));
      }
      miniLoaded_ = true;
    }
    std::vector<std::uint32_t> mini = miniChain(e->start, e->size);
    const std::uint32_t perSector = sectorSize_ / kMiniSectorSize;
    for (std::size_t i = 0; i < mini.size(); ++i) {
      std::uint32_t regular = miniStreamSectors_[mini[i] / perSector];
      std::uint64_t fileOff = ((std::uint64_t{regular} + 1) << sectorShift_) +
                              std::uint64_t{mini[i] % perSector} * kMiniSectorSize;
      add(std::uint64_t{i} * kMiniSectorSize, fileOff, kMiniSectorSize);
    }
  }
  // The last sector may be cut short by the end of the file: reads check it.
  return std::make_unique<CompoundStream>(*file_, std::move(extents), e->size);
}

std::string CompoundFile::readStream(std::string_view name, std::size_t maxBytes) {
  auto stream = openStream(name);
  if (stream->size() > maxBytes)
    fail(ErrorCode::TooLarge, "its " + std::string(name) + " stream is too large");
  std::string out(static_cast<std::size_t>(stream->size()), '\0');
  stream->read(0, out.data(), out.size());
  return out;
}

}  // namespace quorvel::spreadsheet
