// [MS-OFFCRYPTO] 2.3.4.10 Agile encryption: an XML descriptor names the
// cipher, hash and spin count; a password-derived key unwraps the package's
// secret key, which encrypts 4096-byte segments in CBC mode, each with its
// own IV.
#include <charconv>
#include <cstring>

#include "engine/spreadsheet/crypto/encryption_scheme.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/xml_parser.h"

namespace quorvel::spreadsheet::crypto {

namespace {

constexpr std::string_view kPasswordEncryptor =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr std::string_view kCertificateEncryptor =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate";

// The block keys that tell the three password-derived keys apart.
constexpr std::string_view kVerifierInputBlockKey{"\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79", 8};
constexpr std::string_view kVerifierValueBlockKey{"\xd7\xaa\x0f\x6d\x30\x61\x34\x4e", 8};
constexpr std::string_view kSecretKeyBlockKey{"\x14\x6e\x0b\xe7\xab\xac\xd0\xd6", 8};

struct CipherParams {
  std::string cipher, chaining, hash;
  std::uint32_t keyBits = 0, blockSize = 0, saltSize = 0;
  Bytes salt;
};

struct PasswordKeyEncryptor : CipherParams {
  std::uint32_t spinCount = 0;
  Bytes verifierInput, verifierValue, keyValue;
};

struct Descriptor {
  bool sawRoot = false, sawKeyData = false, sawPassword = false, sawCertificate = false;
  CipherParams keyData;
  PasswordKeyEncryptor password;
};

std::uint32_t numberAttr(const char** attrs, std::string_view name, std::string_view element) {
  const char* v = findAttr(attrs, name);
  std::uint32_t out = 0;
  std::string_view s = v ? v : "";
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (!v || ec != std::errc() || end != s.data() + s.size())
    damaged("its encryption descriptor lacks a valid " + std::string(name) + " in " +
            std::string(element));
  return out;
}

std::string textAttr(const char** attrs, std::string_view name, std::string_view element) {
  const char* v = findAttr(attrs, name);
  if (!v)
    damaged("its encryption descriptor lacks the " + std::string(name) + " of " +
            std::string(element));
  return v;
}

Bytes base64Attr(const char** attrs, std::string_view name, std::string_view element) {
  auto bytes = base64Decode(textAttr(attrs, name, element));
  if (!bytes || bytes->empty())
    damaged("its encryption descriptor has a malformed " + std::string(name) + " in " +
            std::string(element));
  return *bytes;
}

void readCipherParams(const char** attrs, std::string_view element, CipherParams& p) {
  p.cipher = textAttr(attrs, "cipherAlgorithm", element);
  p.chaining = textAttr(attrs, "cipherChaining", element);
  p.hash = textAttr(attrs, "hashAlgorithm", element);
  p.keyBits = numberAttr(attrs, "keyBits", element);
  p.blockSize = numberAttr(attrs, "blockSize", element);
  p.saltSize = numberAttr(attrs, "saltSize", element);
  p.salt = base64Attr(attrs, "saltValue", element);
}

class DescriptorHandler : public XmlHandler {
 public:
  explicit DescriptorHandler(Descriptor& d) : d_(d) {}

  void startElement(std::string_view name, const char** attrs) override {
    if (name == "encryption") {
      d_.sawRoot = true;
    } else if (name == "keyData" && !d_.sawKeyData) {
      d_.sawKeyData = true;
      readCipherParams(attrs, "keyData", d_.keyData);
    } else if (name == "keyEncryptor") {
      const char* uri = findAttr(attrs, "uri");
      encryptorUri_ = uri ? uri : "";
    } else if (name == "encryptedKey" && encryptorUri_ == kPasswordEncryptor && !d_.sawPassword) {
      d_.sawPassword = true;
      PasswordKeyEncryptor& k = d_.password;
      readCipherParams(attrs, "encryptedKey", k);
      k.spinCount = numberAttr(attrs, "spinCount", "encryptedKey");
      k.verifierInput = base64Attr(attrs, "encryptedVerifierHashInput", "encryptedKey");
      k.verifierValue = base64Attr(attrs, "encryptedVerifierHashValue", "encryptedKey");
      k.keyValue = base64Attr(attrs, "encryptedKeyValue", "encryptedKey");
    } else if (name == "encryptedKey" && encryptorUri_ == kCertificateEncryptor) {
      d_.sawCertificate = true;
    }
  }
  void endElement(std::string_view name) override {
    if (name == "keyEncryptor") encryptorUri_.clear();
  }

 private:
  Descriptor& d_;
  std::string encryptorUri_;
};

bool oneOf(std::string_view s, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (s == n) return true;
  return false;
}

// Unsupported for what we do not read, Damaged for what contradicts itself.
Hash checkCipherParams(const CipherParams& p) {
  if (p.cipher != "AES") {
    if (oneOf(p.cipher, {"RC2", "RC4", "DES", "DESX", "3DES", "3DES_112"}))
      fail(ErrorCode::Unsupported,
           "it is encrypted with the cipher '" + p.cipher + "', which is not supported");
    fail(ErrorCode::Unsupported, "it is encrypted with an unknown cipher '" + p.cipher + "'");
  }
  if (p.chaining != "ChainingModeCBC") {
    if (p.chaining == "ChainingModeCFB")
      fail(ErrorCode::Unsupported,
           "it is encrypted in the chaining mode '" + p.chaining + "', which is not supported");
    fail(ErrorCode::Unsupported,
         "it is encrypted in an unknown chaining mode '" + p.chaining + "'");
  }
  auto hash = Hash::byName(p.hash);
  if (!hash) {
    if (oneOf(p.hash, {"MD5", "MD4", "MD2", "RIPEMD-128", "RIPEMD-160", "WHIRLPOOL"}))
      fail(ErrorCode::Unsupported,
           "its password is hashed with '" + p.hash + "', which is not supported");
    fail(ErrorCode::Unsupported, "its password is hashed with an unknown hash '" + p.hash + "'");
  }
  if (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256)
    fail(ErrorCode::Unsupported,
         "it is encrypted with " + std::to_string(p.keyBits) + "-bit AES keys, which do not exist");
  if (p.blockSize != AesDecryptor::kBlockSize)
    damaged("its encryption descriptor gives AES a block size of " + std::to_string(p.blockSize) +
            " bytes");
  return *hash;
}

// Truncated, or padded with 0x36, to n bytes: how [MS-OFFCRYPTO] fits hashes
// to key and IV sizes.
Bytes fitted(Bytes b, std::size_t n) {
  b.resize(n, 0x36);
  return b;
}

bool wholeBlocksOfAtLeast(const Bytes& b, std::size_t n) {
  return b.size() >= n && b.size() % AesDecryptor::kBlockSize == 0;
}

class AgileDecryptor : public SegmentDecryptor {
 public:
  AgileDecryptor(AesDecryptor aes, Hash hash, Bytes salt)
      : aes_(std::move(aes)), hash_(hash), salt_(std::move(salt)) {}

  void decrypt(std::uint32_t index, std::uint8_t* data, std::size_t n) const override {
    Bytes iv = hash_.digest({asText(salt_), le32Bytes(index)});
    aes_.decryptCbc(fitted(std::move(iv), AesDecryptor::kBlockSize), data, n);
  }

 private:
  AesDecryptor aes_;
  Hash hash_;
  Bytes salt_;
};

class AgileEncryption : public EncryptionScheme {
 public:
  explicit AgileEncryption(Descriptor d)
      : d_(std::move(d)),
        dataHash_(checkCipherParams(d_.keyData)),
        keyHash_(checkCipherParams(d_.password)) {
    const PasswordKeyEncryptor& k = d_.password;
    if (k.spinCount > kMaxSpinCount)
      fail(ErrorCode::Unsupported, "its password is hashed " + std::to_string(k.spinCount) +
                                       " times, more than the " + std::to_string(kMaxSpinCount) +
                                       " allowed");
    if (!wholeBlocksOfAtLeast(k.verifierInput, 1) ||
        !wholeBlocksOfAtLeast(k.verifierValue, keyHash_.size()) ||
        !wholeBlocksOfAtLeast(k.keyValue, d_.keyData.keyBits / 8))
      damaged("its encryption descriptor has a malformed password verifier");
  }

  std::unique_ptr<SegmentDecryptor> unlock(std::string_view password) const override {
    const PasswordKeyEncryptor& k = d_.password;
    Bytes spun = keyHash_.iteratedPasswordHash(asText(k.salt), utf16le(password), k.spinCount);
    const std::size_t keyBytes = k.keyBits / 8;
    const Bytes iv = fitted(k.salt, AesDecryptor::kBlockSize);

    Bytes input = k.verifierInput;
    AesDecryptor::withKey(agileKey(keyHash_, spun, kVerifierInputBlockKey, keyBytes))
        ->decryptCbc(iv, input.data(), input.size());
    if (k.saltSize > 0 && k.saltSize < input.size()) input.resize(k.saltSize);
    Bytes expected = keyHash_.digest({asText(input)});

    Bytes value = k.verifierValue;
    AesDecryptor::withKey(agileKey(keyHash_, spun, kVerifierValueBlockKey, keyBytes))
        ->decryptCbc(iv, value.data(), value.size());
    if (!sameBytes(expected.data(), value.data(), expected.size())) return nullptr;

    Bytes secret = k.keyValue;
    AesDecryptor::withKey(agileKey(keyHash_, spun, kSecretKeyBlockKey, keyBytes))
        ->decryptCbc(iv, secret.data(), secret.size());
    secret.resize(d_.keyData.keyBits / 8);
    return std::make_unique<AgileDecryptor>(*AesDecryptor::withKey(secret), dataHash_,
                                            d_.keyData.salt);
  }

 private:
  Descriptor d_;
  Hash dataHash_, keyHash_;
};

}  // namespace

Bytes agileKey(const Hash& hash, const Bytes& iteratedHash, std::string_view blockKey,
               std::size_t keyBytes) {
  return fitted(hash.digest({asText(iteratedHash), blockKey}), keyBytes);
}

std::unique_ptr<EncryptionScheme> readAgileEncryption(std::string_view info) {
  // Version 4.4 and a reserved 0x40 come before the XML.
  if (info.size() < 8) damaged("its EncryptionInfo stream is too short");
  Descriptor d;
  DescriptorHandler handler(d);
  parseXml(info.substr(8), handler, "EncryptionInfo");
  if (!d.sawRoot || !d.sawKeyData) damaged("its encryption descriptor has no keyData");
  if (!d.sawPassword) {
    if (d.sawCertificate)
      fail(ErrorCode::Unsupported, "it is encrypted for a certificate, not with a password");
    damaged("its encryption descriptor has no password key encryptor");
  }
  return std::make_unique<AgileEncryption>(std::move(d));
}

}  // namespace quorvel::spreadsheet::crypto
