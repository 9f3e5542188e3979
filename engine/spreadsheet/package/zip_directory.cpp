#include "engine/spreadsheet/package/zip_directory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet {

namespace {

// Record layouts of the zip format (APPNOTE 4.3.14 to 4.3.16).
constexpr std::size_t kEndBytes = 22;  // end of central directory
constexpr std::size_t kMaxCommentBytes = 0xFFFF;
constexpr std::size_t kLocatorBytes = 20;  // zip64 end locator
constexpr std::size_t kEnd64Bytes = 56;    // zip64 end of central directory
const char kEndSignature[] = "PK\x05\x06";
const char kLocatorSignature[] = "PK\x06\x07";
const char kEnd64Signature[] = "PK\x06\x06";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool readAt(std::FILE* f, std::uint64_t offset, void* out, std::size_t n) {
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

}  // namespace

std::vector<ZipDirectoryClaim> readZipDirectoryClaims(const std::string& path) {
  std::vector<ZipDirectoryClaim> claims;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f || fseeko(f.get(), 0, SEEK_END) != 0) return claims;
  const off_t end = ftello(f.get());
  if (end < static_cast<off_t>(kEndBytes)) return claims;
  const auto fileSize = static_cast<std::uint64_t>(end);
  const std::uint64_t tailStart =
      fileSize - std::min<std::uint64_t>(fileSize, kEndBytes + kMaxCommentBytes);
  std::string tail(static_cast<std::size_t>(fileSize - tailStart), '\0');
  if (!readAt(f.get(), tailStart, tail.data(), tail.size())) return claims;

  for (std::size_t at = 0; at + kEndBytes <= tail.size(); ++at) {
    const char* p = tail.data() + at;
    if (std::memcmp(p, kEndSignature, 4) != 0) continue;
    const std::uint64_t where = tailStart + at;
    ZipDirectoryClaim claim;
    claim.entries = std::max(le16(p + 8), le16(p + 10));
    claim.bytes = le32(p + 12);
    std::uint64_t offset = le32(p + 16);
    // A zip64 locator just before the record links the zip64 end record.
    unsigned char locator[kLocatorBytes], end64[kEnd64Bytes];
    if (where >= kLocatorBytes && readAt(f.get(), where - kLocatorBytes, locator, sizeof locator) &&
        std::memcmp(locator, kLocatorSignature, 4) == 0 &&
        readAt(f.get(), le64(locator + 8), end64, sizeof end64) &&
        std::memcmp(end64, kEnd64Signature, 4) == 0) {
      claim.entries = std::max({claim.entries, le64(end64 + 24), le64(end64 + 32)});
      claim.bytes = std::max<std::uint64_t>(claim.bytes, le64(end64 + 40));
      offset = le64(end64 + 48);
    }
    // A directory outside the file is no directory: libzip refuses it.
    if (offset <= where && claim.bytes <= where - offset) claims.push_back(claim);
  }
  return claims;
}

}  // namespace quorvel::spreadsheet
