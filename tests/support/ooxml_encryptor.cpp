#include "tests/support/ooxml_encryptor.h"

#include <nettle/base64.h>
#include <nettle/cbc.h>
#include <nettle/nettle-meta.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>

#include "engine/spreadsheet/error.h"
#include "tests/support/biff_writer.h"

namespace quorvel::test {

namespace {

const nettle_hash& hashNamed(const std::string& name) {
  static const std::map<std::string, const nettle_hash*> hashes = {{"SHA1", &nettle_sha1},
                                                                   {"SHA256", &nettle_sha256},
                                                                   {"SHA384", &nettle_sha384},
                                                                   {"SHA512", &nettle_sha512}};
  auto it = hashes.find(name);
  return *(it == hashes.end() ? &nettle_sha512 : it->second);
}

std::string digest(const nettle_hash& h, const std::string& data) {
  std::vector<std::uint8_t> ctx(h.context_size);
  std::string out(h.digest_size, '\0');
  h.init(ctx.data());
  h.update(ctx.data(), data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
  h.digest(ctx.data(), out.size(), reinterpret_cast<std::uint8_t*>(out.data()));
  return out;
}

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = char(v >> (8 * i) & 0xFF);
  return s;
}
std::string le16(std::uint16_t v) {
  return {char(v & 0xFF), char(v >> 8)};
}
std::string le64(std::uint64_t v) {
  return le32(std::uint32_t(v)) + le32(std::uint32_t(v >> 32));
}

std::string utf16Bytes(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += le16(std::uint16_t(c));
  return out;
}

std::string randomBytes(std::mt19937& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = char(rng() & 0xFF);
  return s;
}

std::string zeroPadded(std::string s, std::size_t block) {
  s.resize((s.size() + block - 1) / block * block, '\0');
  return s;
}

// AES with a 16, 24 or 32-byte key, encrypting whole blocks.
class Aes {
 public:
  explicit Aes(const std::string& key) {
    cipher_ = key.size() == 16   ? &nettle_aes128
              : key.size() == 24 ? &nettle_aes192
                                 : &nettle_aes256;
    ctx_.resize(cipher_->context_size);
    cipher_->set_encrypt_key(ctx_.data(), reinterpret_cast<const std::uint8_t*>(key.data()));
  }
  std::string ecb(std::string data) const {
    auto p = reinterpret_cast<std::uint8_t*>(data.data());
    cipher_->encrypt(ctx_.data(), data.size(), p, p);
    return data;
  }
  std::string cbc(std::string data, std::string iv) const {
    auto p = reinterpret_cast<std::uint8_t*>(data.data());
    iv.resize(16, '\x36');
    cbc_encrypt(ctx_.data(), cipher_->encrypt, 16, reinterpret_cast<std::uint8_t*>(iv.data()),
                data.size(), p, p);
    return data;
  }

 private:
  const nettle_cipher* cipher_;
  std::vector<std::uint8_t> ctx_;
};

std::string base64(const std::string& data) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(data.size()), '\0');
  base64_encode_raw(out.data(), data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
  return out;
}

std::string sized(std::string s, std::size_t n) {
  s.resize(n, '\x36');
  return s;
}

}  // namespace

EncryptedStreams encryptAgile(const std::string& package, const std::u16string& password,
                              const AgileSettings& s) {
  std::mt19937 rng(s.seed);
  const nettle_hash& h = hashNamed(s.hashAlgorithm);
  const std::size_t keyBytes = std::size_t(s.keyBits) / 8;
  const std::string keySalt = randomBytes(rng, 16), dataSalt = randomBytes(rng, 16);
  const std::string secretKey = randomBytes(rng, keyBytes), verifierInput = randomBytes(rng, 16);

  std::string spun = digest(h, keySalt + utf16Bytes(password));
  for (std::uint32_t i = 0; i < s.spinCount; ++i) spun = digest(h, le32(i) + spun);
  auto keyFor = [&](const char* blockKey) {
    return sized(digest(h, spun + std::string(blockKey, 8)), keyBytes);
  };
  std::string verifierInputEnc =
      Aes(keyFor("\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79")).cbc(verifierInput, keySalt);
  std::string verifierValueEnc = Aes(keyFor("\xd7\xaa\x0f\x6d\x30\x61\x34\x4e"))
                                     .cbc(zeroPadded(digest(h, verifierInput), 16), keySalt);
  std::string keyValueEnc =
      Aes(keyFor("\x14\x6e\x0b\xe7\xab\xac\xd0\xd6")).cbc(zeroPadded(secretKey, 16), keySalt);

  auto params = [&](const std::string& salt) {
    return "saltSize=\"16\" blockSize=\"16\" keyBits=\"" + std::to_string(s.keyBits) +
           "\" hashSize=\"" + std::to_string(h.digest_size) + "\" cipherAlgorithm=\"" +
           s.cipherAlgorithm + "\" cipherChaining=\"" + s.cipherChaining + "\" hashAlgorithm=\"" +
           s.hashAlgorithm + "\" saltValue=\"" + base64(salt) + "\"";
  };
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
      "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
      "<keyData " +
      params(dataSalt) +
      "/>"
      "<dataIntegrity encryptedHmacKey=\"" +
      base64(randomBytes(rng, 64)) + "\" encryptedHmacValue=\"" + base64(randomBytes(rng, 64)) +
      "\"/>"
      "<keyEncryptors><keyEncryptor "
      "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
      "<p:encryptedKey spinCount=\"" +
      std::to_string(s.spinCount) + "\" " + params(keySalt) + " encryptedVerifierHashInput=\"" +
      base64(verifierInputEnc) + "\" encryptedVerifierHashValue=\"" + base64(verifierValueEnc) +
      "\" encryptedKeyValue=\"" + base64(keyValueEnc) +
      "\"/></keyEncryptor></keyEncryptors></encryption>";

  EncryptedStreams out;
  out.encryptionInfo = le16(4) + le16(4) + le32(0x40) + xml;
  out.encryptedPackage = le64(package.size());
  Aes data(secretKey);
  for (std::size_t at = 0, i = 0; at < package.size(); at += 4096, ++i) {
    std::string iv = digest(h, dataSalt + le32(std::uint32_t(i)));
    out.encryptedPackage += data.cbc(zeroPadded(package.substr(at, 4096), 16), iv);
  }
  return out;
}

std::string standardKeyFor(const std::string& salt, const std::u16string& password, int keyBits) {
  const nettle_hash& sha1 = nettle_sha1;
  std::string h = digest(sha1, salt + utf16Bytes(password));
  for (std::uint32_t i = 0; i < 50000; ++i) h = digest(sha1, le32(i) + h);
  h = digest(sha1, h + le32(0));
  std::string x1(64, '\x36'), x2(64, '\x5c');
  for (std::size_t i = 0; i < h.size(); ++i) {
    x1[i] = char(x1[i] ^ h[i]);
    x2[i] = char(x2[i] ^ h[i]);
  }
  return (digest(sha1, x1) + digest(sha1, x2)).substr(0, std::size_t(keyBits) / 8);
}

EncryptedStreams encryptStandard(const std::string& package, const std::u16string& password,
                                 int keyBits, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const std::string salt = randomBytes(rng, 16), verifier = randomBytes(rng, 16);
  Aes aes(standardKeyFor(salt, password, keyBits));
  const std::uint32_t algId = keyBits == 128 ? 0x660E : keyBits == 192 ? 0x660F : 0x6610;
  const std::string csp =
      utf16Bytes(u"Microsoft Enhanced RSA and AES Cryptographic Provider") + std::string(2, '\0');
  std::string header = le32(0x24) + le32(0) + le32(algId) + le32(0x8004) +
                       le32(std::uint32_t(keyBits)) + le32(0x18) + le32(0) + le32(0) + csp;
  EncryptedStreams out;
  out.encryptionInfo = le16(4) + le16(2) + le32(0x24) + le32(std::uint32_t(header.size())) +
                       header + le32(16) + salt + aes.ecb(verifier) + le32(20) +
                       aes.ecb(zeroPadded(digest(nettle_sha1, verifier), 32));
  out.encryptedPackage = le64(package.size()) + aes.ecb(zeroPadded(package, 16));
  return out;
}

std::string compoundFileOf(const EncryptedStreams& streams, int cfbVersion) {
  CompoundFileWriter w(cfbVersion);
  w.addStream("EncryptionInfo", streams.encryptionInfo);
  w.addStream("EncryptedPackage", streams.encryptedPackage);
  return w.build();
}

void StringByteSource::read(std::uint64_t offset, void* dst, std::size_t n) {
  if (offset > data_.size() || n > data_.size() - offset)
    spreadsheet::damaged("a read past the end of the stream");
  std::memcpy(dst, data_.data() + offset, n);
}

}  // namespace quorvel::test
