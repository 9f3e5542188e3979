#pragma once
// What the two encryption kinds of an OOXML package ([MS-OFFCRYPTO] Standard
// and Agile encryption) offer the decryption loop: a password check that
// yields the package's segment decryptor.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/spreadsheet/crypto/crypto_primitives.h"

namespace quorvel::spreadsheet::crypto {

// EncryptedPackage holds the package in segments of this size, each
// encrypted on its own (Agile gives each its own IV).
inline constexpr std::size_t kSegmentBytes = 4096;

class SegmentDecryptor {
 public:
  virtual ~SegmentDecryptor() = default;
  // Decrypts segment `index` in place; n is a multiple of the AES block.
  virtual void decrypt(std::uint32_t index, std::uint8_t* data, std::size_t n) const = 0;
};

class EncryptionScheme {
 public:
  virtual ~EncryptionScheme() = default;
  // The package's decryptor when `password` (UTF-8) fits the verifier,
  // otherwise nullptr.
  virtual std::unique_ptr<SegmentDecryptor> unlock(std::string_view password) const = 0;
};

// Both read EncryptionInfo whole, version included. Throw FormatError:
// Unsupported for an encryption we do not read, Damaged for a broken one.
std::unique_ptr<EncryptionScheme> readStandardEncryption(std::string_view encryptionInfo);
std::unique_ptr<EncryptionScheme> readAgileEncryption(std::string_view encryptionInfo);

// [MS-OFFCRYPTO] 2.3.4.7: the Standard encryption key of `keyBytes` bytes.
Bytes standardEncryptionKey(std::string_view salt, std::string_view password, std::size_t keyBytes);

// [MS-OFFCRYPTO] 2.3.4.11: an Agile key from the iterated password hash and
// one of the block keys, truncated or padded with 0x36 to `keyBytes`.
Bytes agileKey(const Hash& hash, const Bytes& iteratedHash, std::string_view blockKey,
               std::size_t keyBytes);

}  // namespace quorvel::spreadsheet::crypto
