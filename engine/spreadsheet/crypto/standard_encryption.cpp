// [MS-OFFCRYPTO] 2.3.4.5 Standard encryption: a binary EncryptionHeader,
// AES in ECB mode, a key from 50,000 rounds of SHA-1.
#include <cstring>
#include <sstream>

#include "engine/spreadsheet/crypto/encryption_scheme.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet::crypto {

namespace {

constexpr std::uint32_t kStandardSpinCount = 50000;
constexpr std::size_t kVerifierBytes = 16;
constexpr std::size_t kSha1Bytes = 20;
constexpr std::size_t kEncryptedVerifierHashBytes = 32;  // SHA-1 padded to AES blocks

// EncryptionHeader.Flags
constexpr std::uint32_t fExternal = 0x10;
constexpr std::uint32_t fAES = 0x20;

// ALG_ID values
constexpr std::uint32_t kAlgAes128 = 0x660E;
constexpr std::uint32_t kAlgAes192 = 0x660F;
constexpr std::uint32_t kAlgAes256 = 0x6610;
constexpr std::uint32_t kAlgRc4 = 0x6801;
constexpr std::uint32_t kAlgSha1 = 0x8004;

std::string hex(std::uint32_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

class StandardDecryptor : public SegmentDecryptor {
 public:
  explicit StandardDecryptor(AesDecryptor aes) : aes_(std::move(aes)) {}
  void decrypt(std::uint32_t, std::uint8_t* data, std::size_t n) const override {
    aes_.decryptEcb(data, n);
  }

 private:
  AesDecryptor aes_;
};

class StandardEncryption : public EncryptionScheme {
 public:
  StandardEncryption(std::string salt, const std::uint8_t* verifier, const std::uint8_t* hash,
                     std::size_t keyBytes)
      : salt_(std::move(salt)), keyBytes_(keyBytes) {
    std::memcpy(verifier_, verifier, sizeof verifier_);
    std::memcpy(verifierHash_, hash, sizeof verifierHash_);
  }

  std::unique_ptr<SegmentDecryptor> unlock(std::string_view password) const override {
    auto aes = AesDecryptor::withKey(standardEncryptionKey(salt_, password, keyBytes_));
    std::uint8_t verifier[kVerifierBytes];
    std::uint8_t hash[kEncryptedVerifierHashBytes];
    std::memcpy(verifier, verifier_, sizeof verifier);
    std::memcpy(hash, verifierHash_, sizeof hash);
    aes->decryptEcb(verifier, sizeof verifier);
    aes->decryptEcb(hash, sizeof hash);
    Bytes expected =
        Hash::sha1().digest({{reinterpret_cast<const char*>(verifier), sizeof verifier}});
    if (!sameBytes(expected.data(), hash, kSha1Bytes)) return nullptr;
    return std::make_unique<StandardDecryptor>(std::move(*aes));
  }

 private:
  std::string salt_;
  std::uint8_t verifier_[kVerifierBytes];
  std::uint8_t verifierHash_[kEncryptedVerifierHashBytes];
  std::size_t keyBytes_;
};

}  // namespace

Bytes standardEncryptionKey(std::string_view salt, std::string_view password,
                            std::size_t keyBytes) {
  Hash sha1 = Hash::sha1();
  Bytes h = sha1.iteratedPasswordHash(salt, utf16le(password), kStandardSpinCount);
  Bytes final = sha1.digest({asText(h), le32Bytes(0)});
  // X1 and X2 hash the final hash xored into 64-byte buffers of 0x36 and 0x5C.
  std::string b1(64, '\x36'), b2(64, '\x5C');
  for (std::size_t i = 0; i < final.size(); ++i) {
    b1[i] = char(b1[i] ^ final[i]);
    b2[i] = char(b2[i] ^ final[i]);
  }
  Bytes key = sha1.digest({b1});
  Bytes x2 = sha1.digest({b2});
  key.insert(key.end(), x2.begin(), x2.end());
  key.resize(keyBytes);
  return key;
}

std::unique_ptr<EncryptionScheme> readStandardEncryption(std::string_view info) {
  auto p = reinterpret_cast<const std::uint8_t*>(info.data());
  const std::size_t n = info.size();
  // Version (4), Flags (4), HeaderSize (4), then the EncryptionHeader.
  if (n < 12) damaged("its EncryptionInfo stream is too short");
  std::uint32_t flags = le32(p + 4);
  std::uint32_t headerSize = le32(p + 8);
  if (flags & fExternal)
    fail(ErrorCode::Unsupported, "it uses an extensible encryption, which is not supported");
  if (headerSize < 32 || headerSize > n - 12)
    damaged("its encryption header has an impossible size of " + std::to_string(headerSize));
  const std::uint8_t* header = p + 12;
  std::uint32_t algId = le32(header + 8);
  std::uint32_t algIdHash = le32(header + 12);
  std::uint32_t keyBits = le32(header + 16);

  // AlgID 0 leaves the cipher to the flags: AES when fAES is set, else RC4.
  if (algId == kAlgRc4 || (algId == 0 && !(flags & fAES)))
    fail(ErrorCode::Unsupported,
         "it is encrypted with RC4, which is not supported for this kind of workbook");
  std::uint32_t algKeyBits = algId == 0 || algId == kAlgAes128 ? 128
                             : algId == kAlgAes192             ? 192
                             : algId == kAlgAes256             ? 256
                                                               : 0;
  if (algKeyBits == 0)
    fail(ErrorCode::Unsupported,
         "it is encrypted with an unknown cipher (algorithm id " + hex(algId) + ")");
  if (algIdHash != 0 && algIdHash != kAlgSha1)
    fail(ErrorCode::Unsupported,
         "its password is hashed with an unknown hash (algorithm id " + hex(algIdHash) + ")");
  if (keyBits != 0 && keyBits != algKeyBits)
    damaged("its encryption header gives a key size of " + std::to_string(keyBits) +
            " bits for a " + std::to_string(algKeyBits) + "-bit cipher");

  // EncryptionVerifier: SaltSize (4), Salt (16), EncryptedVerifier (16),
  // VerifierHashSize (4), EncryptedVerifierHash (32).
  std::size_t at = 12 + std::size_t(headerSize);
  if (n - at < 4 + 16 + kVerifierBytes + 4 + kEncryptedVerifierHashBytes)
    damaged("its password verifier is cut short");
  const std::uint8_t* v = p + at;
  if (le32(v) != 16)
    damaged("its password verifier has a salt of " + std::to_string(le32(v)) +
            " bytes instead of 16");
  if (le32(v + 36) != kSha1Bytes)
    damaged("its password verifier has a hash of " + std::to_string(le32(v + 36)) +
            " bytes instead of 20");
  return std::make_unique<StandardEncryption>(std::string(reinterpret_cast<const char*>(v + 4), 16),
                                              v + 20, v + 40, algKeyBits / 8);
}

}  // namespace quorvel::spreadsheet::crypto
