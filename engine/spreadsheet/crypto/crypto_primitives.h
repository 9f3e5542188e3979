#pragma once
// The building blocks both encryption kinds share: the SHA family by the
// names encryption descriptors use, AES by key length, the iterated password
// hash of [MS-OFFCRYPTO], and the text conversions passwords and descriptors
// need. Thin wrappers over nettle.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct nettle_hash;
struct nettle_cipher;

namespace quorvel::spreadsheet::crypto {

using Bytes = std::vector<std::uint8_t>;

inline std::string_view asText(const Bytes& b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

class Hash {
 public:
  // "SHA1", "SHA256", "SHA384", "SHA512" (the names of an encryption
  // descriptor's hashAlgorithm); nullopt for any other.
  static std::optional<Hash> byName(std::string_view name);
  static Hash sha1();

  std::size_t size() const;
  // The digest of the concatenated pieces.
  Bytes digest(std::initializer_list<std::string_view> pieces) const;

  // [MS-OFFCRYPTO] password hashing: H0 = H(salt + password), then
  // H(i) = H(LE32(i) + H(i-1)) for i = 0 .. spinCount-1.
  Bytes iteratedPasswordHash(std::string_view salt, std::string_view passwordUtf16,
                             std::uint32_t spinCount) const;

 private:
  explicit Hash(const nettle_hash* h) : h_(h) {}
  const nettle_hash* h_;
};

// AES decryption with one key; the key length chooses AES-128/192/256.
class AesDecryptor {
 public:
  static constexpr std::size_t kBlockSize = 16;
  // nullopt when the key is not 16, 24 or 32 bytes.
  static std::optional<AesDecryptor> withKey(const Bytes& key);

  // In place; n is a multiple of the block size.
  void decryptEcb(std::uint8_t* data, std::size_t n) const;
  // In place; `iv` holds one block and is consumed.
  void decryptCbc(Bytes iv, std::uint8_t* data, std::size_t n) const;

 private:
  explicit AesDecryptor(const nettle_cipher* c);
  const nettle_cipher* cipher_;
  std::shared_ptr<std::uint8_t[]> context_;
};

// UTF-16LE bytes of a UTF-8 password; bytes that are not UTF-8 are taken as
// Latin-1 characters, so a password file in a legacy encoding still works.
std::string utf16le(std::string_view utf8);

// nullopt when `text` is not base64.
std::optional<Bytes> base64Decode(std::string_view text);

// The four bytes of a little-endian field, as hashed into keys and IVs.
inline std::string le32Bytes(std::uint32_t v) {
  return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

// Compares without leaking through timing where the difference lies.
bool sameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);

}  // namespace quorvel::spreadsheet::crypto
