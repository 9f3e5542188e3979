#pragma once
// Decryption of BIFF5/BIFF8 workbook streams protected by a FilePass record
// ([MS-XLS] 2.2.10, [MS-OFFCRYPTO] 2.3.5-2.3.7): XOR obfuscation and RC4
// (standard and CryptoAPI headers).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::spreadsheet::xls {

class BiffDecryptor {
 public:
  virtual ~BiffDecryptor() = default;
  // Decrypts in place `n` bytes of a record's data lying at stream offset
  // `offset`; `recordSize` is the whole record's data size (XOR keys on it).
  virtual void decrypt(std::uint64_t offset, std::uint16_t recordSize, unsigned char* p,
                       std::size_t n) = 0;
};

// Reads the FilePass record's data and finds the password among the default
// one and `passwords`. Throws FormatError: PasswordProtected when none fits,
// Unsupported for an encryption we do not read.
std::unique_ptr<BiffDecryptor> makeBiffDecryptor(std::string_view filePass, bool biff8,
                                                 const std::vector<std::string>& passwords);

// The XOR obfuscation's key and verifier for a password ([MS-OFFCRYPTO]
// 2.3.7.2 and 2.3.7.1), exposed for the tests' writer.
std::uint16_t xorKeyOf(std::string_view password);
std::uint16_t xorVerifierOf(std::string_view password);

}  // namespace quorvel::spreadsheet::xls
