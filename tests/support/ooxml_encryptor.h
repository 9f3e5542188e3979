#pragma once
// Encrypts OOXML packages the way [MS-OFFCRYPTO] describes, written apart
// from the engine's decryption so tests check one against the other. Used by
// the tests and the encrypted-workbook benchmark.
#include <cstdint>
#include <string>

#include "engine/spreadsheet/crypto/ooxml_decrypt.h"

namespace quorvel::test {

struct EncryptedStreams {
  std::string encryptionInfo;
  std::string encryptedPackage;
};

struct AgileSettings {
  int keyBits = 256;
  std::string hashAlgorithm = "SHA512";
  std::uint32_t spinCount = 100000;
  // Written into the descriptor as they stand; only AES in CBC mode is
  // actually applied.
  std::string cipherAlgorithm = "AES";
  std::string cipherChaining = "ChainingModeCBC";
  std::uint32_t seed = 1;  // for the salts and the secret key
};

// Passwords are given as UTF-16 so a test can state them independently of
// the engine's UTF-8 conversion.
EncryptedStreams encryptAgile(const std::string& package, const std::u16string& password,
                              const AgileSettings& settings = {});
EncryptedStreams encryptStandard(const std::string& package, const std::u16string& password,
                                 int keyBits = 128, std::uint32_t seed = 1);

// The [MS-OFFCRYPTO] 2.3.4.7 Standard key, computed step by step.
std::string standardKeyFor(const std::string& salt, const std::u16string& password, int keyBits);

// The compound file an application saves them in: both streams at its
// root, in a compound file of version 3 (512-byte sectors) or 4.
std::string compoundFileOf(const EncryptedStreams& streams, int cfbVersion = 3);

// A RandomAccessSource over bytes in memory.
class StringByteSource : public spreadsheet::RandomAccessSource {
 public:
  explicit StringByteSource(std::string data) : data_(std::move(data)) {}
  std::uint64_t size() const override { return data_.size(); }
  void read(std::uint64_t offset, void* dst, std::size_t n) override;

 private:
  std::string data_;
};

}  // namespace quorvel::test
