#pragma once
// Encrypted OOXML packages (.xlsx, .xlsm, .xlsb saved with a password) are
// compound files holding an EncryptionInfo and an EncryptedPackage stream.
// This decrypts the package into a temporary zip file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/package/random_access_source.h"

namespace quorvel::spreadsheet {

// A temporary file removed when the object goes, on every way out.
class TempFile {
 public:
  TempFile() = default;
  explicit TempFile(std::filesystem::path path) : path_(std::move(path)) {}
  ~TempFile();
  TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The default password the application opens encrypted workbooks with
// without asking.
inline constexpr std::string_view kDefaultPassword = "VelvetSweatshop";

// Tries the default password, then `passwords`, verifying each against the
// verifier in EncryptionInfo; decrypts the package with the first that fits.
// Throws FormatError: PasswordProtected when none fits, Unsupported for an
// encryption we do not read, Damaged for broken streams.
TempFile decryptOoxmlPackage(std::string_view encryptionInfo, RandomAccessSource& encryptedPackage,
                             const std::vector<std::string>& passwords);

}  // namespace quorvel::spreadsheet
