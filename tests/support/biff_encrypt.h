#pragma once
// RC4 CryptoAPI encryption of a BIFF8 workbook stream ([MS-OFFCRYPTO] 2.3.5,
// [MS-XLS] 2.2.10), for tests of the reader's decryption.
#include <cstdint>
#include <string>

namespace quorvel::test {

// The FilePass record's data for `password`, a fixed salt and `keyBits`
// (40 or 128).
std::string cryptoApiFilePass(const std::string& password, std::uint32_t keyBits);

// Encrypts every record's data of `stream` except those left clear (BOF,
// FilePass, ... and BoundSheet8's first four bytes), by 1024-byte blocks.
std::string encryptCryptoApi(const std::string& stream, const std::string& password,
                             std::uint32_t keyBits);

}  // namespace quorvel::test
