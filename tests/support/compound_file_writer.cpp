#include "tests/support/compound_file_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace quorvel::test {

namespace {

constexpr std::uint32_t kSector = 4096, kMiniSector = 64, kMiniCutoff = 4096;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kFree = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i) & 0xFF);
}
void put16(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}

std::uint32_t ceilDiv(std::uint64_t a, std::uint64_t b) {
  return std::uint32_t((a + b - 1) / b);
}

// Chains `count` consecutive entries starting at `first` in a FAT.
void chain(std::vector<std::uint32_t>& fat, std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i)
    fat[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
}

struct Entry {
  std::string name;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
  std::uint32_t left = kNoStream, right = kNoStream;
};

// Directory order: shorter names first, then by upper-case code points.
bool before(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    int x = std::toupper(static_cast<unsigned char>(a[i])),
        y = std::toupper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return false;
}

// A balanced binary tree over entries [lo, hi) (1-based ids), returns its root id.
std::uint32_t buildTree(std::vector<Entry>& e, std::uint32_t lo, std::uint32_t hi) {
  if (lo >= hi) return kNoStream;
  std::uint32_t mid = (lo + hi) / 2;
  e[mid].left = buildTree(e, lo, mid);
  e[mid].right = buildTree(e, mid + 1, hi);
  return mid;
}

}  // namespace

void writeCompoundFile(const std::string& path,
                       const std::vector<std::pair<std::string, std::string>>& streams) {
  std::vector<std::pair<std::string, std::string>> sorted = streams;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return before(a.first, b.first); });

  // Lay out: FAT sectors, directory, mini FAT, mini stream, big streams.
  std::string mini;
  std::vector<Entry> entries(sorted.size() + 1);
  entries[0].name = "Root Entry";
  std::vector<std::uint32_t> miniFat;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const std::string& data = sorted[i].second;
    entries[i + 1].name = sorted[i].first;
    entries[i + 1].size = data.size();
    if (data.size() < kMiniCutoff && !data.empty()) {
      std::uint32_t first = std::uint32_t(mini.size() / kMiniSector),
                    count = ceilDiv(data.size(), kMiniSector);
      entries[i + 1].start = first;
      mini += data;
      mini.resize(std::size_t(first + count) * kMiniSector, '\0');
      miniFat.resize(first + count);
      chain(miniFat, first, count);
    }
  }
  const std::uint32_t dirSectors = ceilDiv(entries.size() * 128, kSector);
  const std::uint32_t miniFatSectors = ceilDiv(miniFat.size() * 4, kSector);
  const std::uint32_t miniSectors = ceilDiv(mini.size(), kSector);
  std::uint32_t bigSectors = 0;
  for (const auto& [name, data] : sorted)
    if (data.size() >= kMiniCutoff) bigSectors += ceilDiv(data.size(), kSector);
  const std::uint32_t rest = dirSectors + miniFatSectors + miniSectors + bigSectors;
  std::uint32_t fatSectors = 1;
  while (fatSectors * (kSector / 4) < fatSectors + rest) ++fatSectors;
  if (fatSectors > 109) throw std::runtime_error("compound file too large for a header-only DIFAT");

  std::vector<std::uint32_t> fat(std::size_t(fatSectors) * (kSector / 4), kFree);
  for (std::uint32_t i = 0; i < fatSectors; ++i) fat[i] = kFatSect;
  std::uint32_t next = fatSectors;
  const std::uint32_t dirStart = next;
  chain(fat, next, dirSectors);
  next += dirSectors;
  const std::uint32_t miniFatStart = miniFatSectors ? next : kEndOfChain;
  chain(fat, next, miniFatSectors);
  next += miniFatSectors;
  entries[0].start = miniSectors ? next : kEndOfChain;
  entries[0].size = mini.size();
  chain(fat, next, miniSectors);
  next += miniSectors;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (sorted[i].second.size() < kMiniCutoff) continue;
    std::uint32_t count = ceilDiv(sorted[i].second.size(), kSector);
    entries[i + 1].start = next;
    chain(fat, next, count);
    next += count;
  }

  std::string header(kSector, '\0');
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(signature, signature + 8, header.begin());
  put16(header, 24, 0x003E);
  put16(header, 26, 4);
  put16(header, 28, 0xFFFE);
  put16(header, 30, 12);
  put16(header, 32, 6);
  put32(header, 40, dirSectors);
  put32(header, 44, fatSectors);
  put32(header, 48, dirStart);
  put32(header, 56, kMiniCutoff);
  put32(header, 60, miniFatStart);
  put32(header, 64, miniFatSectors);
  put32(header, 68, kEndOfChain);
  for (std::uint32_t i = 0; i < 109; ++i) put32(header, 76 + 4 * i, i < fatSectors ? i : kFree);

  const std::uint32_t rootChild = buildTree(entries, 1, std::uint32_t(entries.size()));
  std::string dir(std::size_t(dirSectors) * kSector, '\0');
  for (std::size_t i = 0; i < dir.size() / 128; ++i) {
    std::size_t at = i * 128;
    put32(dir, at + 68, kNoStream);
    put32(dir, at + 72, kNoStream);
    put32(dir, at + 76, kNoStream);
    if (i >= entries.size()) continue;
    const Entry& e = entries[i];
    for (std::size_t c = 0; c < e.name.size(); ++c) put16(dir, at + 2 * c, std::uint8_t(e.name[c]));
    put16(dir, at + 64, std::uint16_t((e.name.size() + 1) * 2));
    dir[at + 66] = char(i == 0 ? 5 : 2);
    dir[at + 67] = 1;  // black
    put32(dir, at + 68, e.left);
    put32(dir, at + 72, e.right);
    if (i == 0) put32(dir, at + 76, rootChild);
    put32(dir, at + 116, e.start);
    put32(dir, at + 120, std::uint32_t(e.size));
    put32(dir, at + 124, std::uint32_t(e.size >> 32));
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  auto sectorPad = [&out](std::size_t written) {
    std::string pad((kSector - written % kSector) % kSector, '\0');
    out.write(pad.data(), std::streamsize(pad.size()));
  };
  out.write(header.data(), std::streamsize(header.size()));
  std::string fatBytes(fat.size() * 4, '\0');
  for (std::size_t i = 0; i < fat.size(); ++i) put32(fatBytes, i * 4, fat[i]);
  out.write(fatBytes.data(), std::streamsize(fatBytes.size()));
  out.write(dir.data(), std::streamsize(dir.size()));
  std::string miniFatBytes(std::size_t(miniFatSectors) * kSector, '\xFF');
  for (std::size_t i = 0; i < miniFat.size(); ++i) put32(miniFatBytes, i * 4, miniFat[i]);
  out.write(miniFatBytes.data(), std::streamsize(miniFatBytes.size()));
  out.write(mini.data(), std::streamsize(mini.size()));
  sectorPad(mini.size());
  for (const auto& [name, data] : sorted) {
    if (data.size() < kMiniCutoff) continue;
    out.write(data.data(), std::streamsize(data.size()));
    sectorPad(data.size());
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace quorvel::test
