#include "engine/spreadsheet/crypto/ooxml_decrypt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/spreadsheet/crypto/encryption_scheme.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet {

TempFile::~TempFile() {
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    TempFile old(std::move(*this));
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

namespace {

using crypto::kSegmentBytes;

// Segments read and written at a time: few calls into the compound file
// reader, and memory that does not grow with the package.
constexpr std::size_t kSegmentsPerChunk = 16;

std::unique_ptr<crypto::EncryptionScheme> readEncryptionInfo(std::string_view info) {
  if (info.size() > kMaxEncryptionInfoBytes)
    fail(ErrorCode::TooLarge, "its EncryptionInfo stream is larger than " +
                                  std::to_string(kMaxEncryptionInfoBytes) + " bytes");
  if (info.size() < 8) damaged("its EncryptionInfo stream is too short");
  auto p = reinterpret_cast<const std::uint8_t*>(info.data());
  unsigned major = p[0] | p[1] << 8, minor = p[2] | p[3] << 8;
  if (major == 4 && minor == 4) return crypto::readAgileEncryption(info);
  if ((major == 2 || major == 3 || major == 4) && minor == 2)
    return crypto::readStandardEncryption(info);
  if ((major == 3 || major == 4) && minor == 3)
    fail(ErrorCode::Unsupported, "it uses an extensible encryption, which is not supported");
  fail(ErrorCode::Unsupported, "it is encrypted with an unknown encryption version " +
                                   std::to_string(major) + "." + std::to_string(minor));
}

// A file only we can read in the temporary folder, open for writing.
class TempWriter {
 public:
  TempWriter() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    std::string pattern = (dir / "quorvel-package-XXXXXX").string();
    int fd = mkstemp(pattern.data());
    if (fd < 0)
      fail(ErrorCode::CannotOpen, "no temporary file for its decrypted package can be made in " +
                                      dir.string() + " (" + std::strerror(errno) + ")");
    file = TempFile(pattern);
    out_ = fdopen(fd, "wb");
    if (!out_) {
      int e = errno;
      ::close(fd);
      writeError(e);
    }
  }
  ~TempWriter() {
    if (out_) std::fclose(out_);
  }
  TempWriter(const TempWriter&) = delete;
  TempWriter& operator=(const TempWriter&) = delete;

  void write(const std::uint8_t* data, std::size_t n) {
    if (std::fwrite(data, 1, n, out_) != n) writeError(errno);
  }
  TempFile finish() {
    std::FILE* f = out_;
    out_ = nullptr;
    if (std::fclose(f) != 0) writeError(errno);
    return std::move(file);
  }

  TempFile file;

 private:
  [[noreturn]] void writeError(int e) {
    fail(ErrorCode::CannotOpen, "its decrypted package cannot be written to " +
                                    file.path().string() + " (" + std::strerror(e) + ")");
  }
  std::FILE* out_ = nullptr;
};

TempFile decryptPackage(RandomAccessSource& source, const crypto::SegmentDecryptor& decryptor) {
  // StreamSize (8 bytes, the plain size), then the encrypted segments; the
  // last one padded to whole AES blocks.
  const std::uint64_t streamSize = source.size();
  if (streamSize < 8) damaged("its encrypted package is too short to hold its size");
  std::uint8_t sizeField[8];
  source.read(0, sizeField, 8);
  std::uint64_t plainSize = le64(sizeField);
  // Some writers leave garbage in the upper half, and readers take only the
  // lower 32 bits: do the same when only they fit the stream.
  if (plainSize > streamSize - 8 && le32(sizeField) <= streamSize - 8) plainSize = le32(sizeField);
  const std::uint64_t block = crypto::AesDecryptor::kBlockSize;
  if (plainSize > streamSize - 8 || (plainSize + block - 1) / block * block > streamSize - 8)
    damaged("its encrypted package holds " + std::to_string(streamSize - 8) +
            " bytes, fewer than the " + std::to_string(plainSize) + " it says it holds");

  TempWriter out;
  std::vector<std::uint8_t> chunk(kSegmentBytes * kSegmentsPerChunk);
  std::uint64_t done = 0;
  std::uint32_t segment = 0;
  while (done < plainSize) {
    std::uint64_t plainInChunk = std::min<std::uint64_t>(chunk.size(), plainSize - done);
    std::size_t cipherInChunk = std::size_t((plainInChunk + block - 1) / block * block);
    source.read(8 + done, chunk.data(), cipherInChunk);
    for (std::size_t at = 0; at < cipherInChunk; at += kSegmentBytes, ++segment)
      decryptor.decrypt(segment, chunk.data() + at, std::min(kSegmentBytes, cipherInChunk - at));
    out.write(chunk.data(), std::size_t(plainInChunk));
    done += plainInChunk;
  }
  return out.finish();
}

}  // namespace

TempFile decryptOoxmlPackage(std::string_view encryptionInfo, RandomAccessSource& encryptedPackage,
                             const std::vector<std::string>& passwords) {
  auto scheme = readEncryptionInfo(encryptionInfo);
  std::unique_ptr<crypto::SegmentDecryptor> decryptor = scheme->unlock(kDefaultPassword);
  for (std::size_t i = 0; !decryptor && i < passwords.size(); ++i)
    decryptor = scheme->unlock(passwords[i]);
  if (!decryptor) noPasswordOpens(!passwords.empty());
  return decryptPackage(encryptedPackage, *decryptor);
}

}  // namespace quorvel::spreadsheet
