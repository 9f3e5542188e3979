#include "engine/spreadsheet/xls/biff_decryptor.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <array>
#include <cstring>

#include "engine/spreadsheet/crypto/crypto_primitives.h"
#include "engine/spreadsheet/crypto/ooxml_decrypt.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet::xls {

namespace {

constexpr std::uint64_t kRc4BlockSize = 1024;
constexpr std::size_t kXorMaxPasswordChars = 15;

// Code points of a UTF-8 password (invalid bytes taken as they are).
std::vector<std::uint32_t> codePoints(std::string_view s) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (i + extra >= s.size()) extra = 0;
    std::uint32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

// [MS-OFFCRYPTO] 2.3.7.4: each character's low byte, or its high byte when
// the low one is zero; at most 15.
std::vector<std::uint8_t> xorPasswordBytes(std::string_view password) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t cp : codePoints(password)) {
    if (out.size() == kXorMaxPasswordChars) break;
    std::uint8_t lo = cp & 0xFF, hi = (cp >> 8) & 0xFF;
    out.push_back(lo ? lo : hi);
  }
  return out;
}

const std::uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                        0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                        0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
const std::uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
const std::uint8_t kPadArray[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                    0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

std::uint16_t xorKeyOfBytes(const std::vector<std::uint8_t>& pw) {
  if (pw.empty()) return 0;
  std::uint16_t key = kInitialCode[pw.size() - 1];
  int element = 0x68;
  for (auto it = pw.rbegin(); it != pw.rend(); ++it) {
    std::uint8_t c = *it;
    for (int bit = 0; bit < 7; ++bit) {
      if (c & 0x40) key ^= kXorMatrix[element];
      c = static_cast<std::uint8_t>(c << 1);
      --element;
    }
  }
  return key;
}

std::uint16_t xorVerifierOfBytes(const std::vector<std::uint8_t>& pw) {
  std::uint16_t v = 0;
  std::vector<std::uint8_t> all;
  all.push_back(static_cast<std::uint8_t>(pw.size()));
  all.insert(all.end(), pw.begin(), pw.end());
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    std::uint16_t a = (v & 0x4000) ? 1 : 0;
    std::uint16_t b = static_cast<std::uint16_t>((v << 1) & 0x7FFF);
    v = static_cast<std::uint16_t>((a | b) ^ *it);
  }
  return v ^ 0xCE4B;
}

std::uint8_t xorRor(std::uint8_t a, std::uint8_t b) {
  std::uint8_t x = a ^ b;
  return static_cast<std::uint8_t>((x >> 1) | (x << 7));
}

// [MS-OFFCRYPTO] 2.3.7.2 CreateXorArray_Method1.
std::array<std::uint8_t, 16> xorArrayOf(const std::vector<std::uint8_t>& pw) {
  std::array<std::uint8_t, 16> a{};
  std::uint16_t key = xorKeyOfBytes(pw);
  std::uint8_t hi = key >> 8, lo = key & 0xFF;
  int index = static_cast<int>(pw.size());
  if (index % 2 == 1) {
    a[index] = xorRor(kPadArray[0], hi);
    --index;
    a[index] = xorRor(pw.back(), lo);
  }
  while (index > 0) {
    --index;
    a[index] = xorRor(pw[index], hi);
    --index;
    a[index] = xorRor(pw[index], lo);
  }
  index = 15;
  int pad = 15 - static_cast<int>(pw.size());
  while (pad > 0) {
    a[index] = xorRor(kPadArray[pad], hi);
    --index;
    --pad;
    a[index] = xorRor(kPadArray[pad], lo);
    --index;
    --pad;
  }
  return a;
}

class XorDecryptor final : public BiffDecryptor {
 public:
  explicit XorDecryptor(const std::array<std::uint8_t, 16>& array) : array_(array) {}
  void decrypt(std::uint64_t offset, std::uint16_t recordSize, unsigned char* p,
               std::size_t n) override {
    std::uint64_t index = offset + recordSize;
    for (std::size_t i = 0; i < n; ++i, ++index) {
      std::uint8_t v = p[i] ^ array_[index & 15];
      p[i] = static_cast<unsigned char>((v >> 5) | (v << 3));
    }
  }

 private:
  std::array<std::uint8_t, 16> array_;
};

// RC4 re-keyed for every 1024-byte block of the stream; `keyOf` gives a
// block's key.
class Rc4Decryptor : public BiffDecryptor {
 public:
  void decrypt(std::uint64_t offset, std::uint16_t, unsigned char* p, std::size_t n) override {
    while (n > 0) {
      std::uint64_t block = offset / kRc4BlockSize;
      std::size_t inBlock = static_cast<std::size_t>(offset % kRc4BlockSize);
      if (!keyed_ || block != block_ || inBlock < pos_) {
        rekey(block);
        pos_ = 0;
      }
      if (inBlock > pos_) skip(inBlock - pos_);
      std::size_t take = std::min<std::size_t>(n, kRc4BlockSize - inBlock);
      arcfour_crypt(&ctx_, take, p, p);
      pos_ = inBlock + take;
      p += take;
      offset += take;
      n -= take;
    }
  }
  // Decrypts the verifier and its hash in one run of block 0's key stream.
  void decryptVerifier(unsigned char* p, std::size_t n) {
    rekey(0);
    arcfour_crypt(&ctx_, n, p, p);
    keyed_ = false;
  }

 protected:
  virtual void blockKey(std::uint32_t block, std::vector<std::uint8_t>& key) const = 0;

 private:
  void rekey(std::uint64_t block) {
    std::vector<std::uint8_t> key;
    blockKey(static_cast<std::uint32_t>(block), key);
    arcfour_set_key(&ctx_, key.size(), key.data());
    block_ = block;
    keyed_ = true;
  }
  void skip(std::size_t n) {
    unsigned char scratch[kRc4BlockSize];
    std::memset(scratch, 0, n);
    arcfour_crypt(&ctx_, n, scratch, scratch);
    pos_ += n;
  }

  arcfour_ctx ctx_{};
  std::uint64_t block_ = 0;
  std::size_t pos_ = 0;
  bool keyed_ = false;
};

void putLe32(std::uint32_t v, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// [MS-OFFCRYPTO] 2.3.6.2: MD5 of the truncated password hash and the salt.
class Rc4StandardDecryptor final : public Rc4Decryptor {
 public:
  Rc4StandardDecryptor(std::string_view password, const std::uint8_t* salt) {
    std::string pw = crypto::utf16le(password);
    std::uint8_t h0[MD5_DIGEST_SIZE];
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, pw.size(), reinterpret_cast<const std::uint8_t*>(pw.data()));
    md5_digest(&md5, sizeof h0, h0);
    md5_init(&md5);
    for (int i = 0; i < 16; ++i) {
      md5_update(&md5, 5, h0);
      md5_update(&md5, 16, salt);
    }
    std::uint8_t h1[MD5_DIGEST_SIZE];
    md5_digest(&md5, sizeof h1, h1);
    std::memcpy(base_, h1, 5);
  }

 protected:
  void blockKey(std::uint32_t block, std::vector<std::uint8_t>& key) const override {
    std::uint8_t buf[9];
    std::memcpy(buf, base_, 5);
    putLe32(block, buf + 5);
    key.resize(MD5_DIGEST_SIZE);
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, sizeof buf, buf);
    md5_digest(&md5, MD5_DIGEST_SIZE, key.data());
  }

 private:
  std::uint8_t base_[5];
};

// [MS-OFFCRYPTO] 2.3.5.2: SHA-1 of the salt and the password, then of that
// hash and the block number; a 40-bit key is padded with zeros to 128 bits.
class Rc4CryptoApiDecryptor final : public Rc4Decryptor {
 public:
  Rc4CryptoApiDecryptor(std::string_view password, const std::uint8_t* salt, std::size_t keyBytes)
      : keyBytes_(keyBytes) {
    std::string pw = crypto::utf16le(password);
    sha1_ctx sha;
    sha1_init(&sha);
    sha1_update(&sha, 16, salt);
    sha1_update(&sha, pw.size(), reinterpret_cast<const std::uint8_t*>(pw.data()));
    sha1_digest(&sha, SHA1_DIGEST_SIZE, h0_);
  }

 protected:
  void blockKey(std::uint32_t block, std::vector<std::uint8_t>& key) const override {
    std::uint8_t buf[SHA1_DIGEST_SIZE + 4];
    std::memcpy(buf, h0_, SHA1_DIGEST_SIZE);
    putLe32(block, buf + SHA1_DIGEST_SIZE);
    std::uint8_t h[SHA1_DIGEST_SIZE];
    sha1_ctx sha;
    sha1_init(&sha);
    sha1_update(&sha, sizeof buf, buf);
    sha1_digest(&sha, SHA1_DIGEST_SIZE, h);
    key.assign(h, h + keyBytes_);
    if (keyBytes_ == 5) key.resize(16, 0);
  }

 private:
  std::uint8_t h0_[SHA1_DIGEST_SIZE];
  std::size_t keyBytes_;
};

std::vector<std::string> candidates(const std::vector<std::string>& passwords) {
  std::vector<std::string> all{std::string(kDefaultPassword)};
  all.insert(all.end(), passwords.begin(), passwords.end());
  return all;
}

std::unique_ptr<BiffDecryptor> xorDecryptor(const unsigned char* p,
                                            const std::vector<std::string>& passwords) {
  std::uint16_t key = le16(p), verifier = le16(p + 2);
  for (const std::string& pw : candidates(passwords)) {
    std::vector<std::uint8_t> bytes = xorPasswordBytes(pw);
    if (xorKeyOfBytes(bytes) == key && xorVerifierOfBytes(bytes) == verifier)
      return std::make_unique<XorDecryptor>(xorArrayOf(bytes));
  }
  noPasswordOpens(!passwords.empty());
}

}  // namespace

std::uint16_t xorKeyOf(std::string_view password) {
  return xorKeyOfBytes(xorPasswordBytes(password));
}

std::uint16_t xorVerifierOf(std::string_view password) {
  return xorVerifierOfBytes(xorPasswordBytes(password));
}

std::unique_ptr<BiffDecryptor> makeBiffDecryptor(std::string_view filePass, bool biff8,
                                                 const std::vector<std::string>& passwords) {
  const auto* p = reinterpret_cast<const unsigned char*>(filePass.data());
  const std::size_t n = filePass.size();
  if (!biff8) {
    if (n < 4) damaged("its encryption record is cut short");
    return xorDecryptor(p, passwords);
  }
  if (n < 2) damaged("its encryption record is cut short");
  std::uint16_t type = le16(p);
  if (type == 0) {
    if (n < 6) damaged("its encryption record is cut short");
    return xorDecryptor(p + 2, passwords);
  }
  if (type != 1) fail(ErrorCode::Unsupported, "it uses an unknown kind of encryption");
  if (n < 6) damaged("its encryption record is cut short");
  std::uint16_t major = le16(p + 2), minor = le16(p + 4);
  if (major == 1 && minor == 1) {
    if (n < 6 + 48) damaged("its encryption record is cut short");
    const std::uint8_t* salt = p + 6;
    for (const std::string& pw : candidates(passwords)) {
      Rc4StandardDecryptor d(pw, salt);
      std::uint8_t v[32];
      std::memcpy(v, p + 22, 32);
      d.decryptVerifier(v, 32);
      std::uint8_t h[MD5_DIGEST_SIZE];
      md5_ctx md5;
      md5_init(&md5);
      md5_update(&md5, 16, v);
      md5_digest(&md5, sizeof h, h);
      if (std::memcmp(h, v + 16, 16) == 0) return std::make_unique<Rc4StandardDecryptor>(pw, salt);
    }
    noPasswordOpens(!passwords.empty());
  }
  if ((major == 2 || major == 3 || major == 4) && minor == 2) {
    // Flags (4), header size (4), the header, then the verifier.
    if (n < 14) damaged("its encryption record is cut short");
    std::uint32_t headerSize = le32(p + 10);
    if (headerSize < 32 || headerSize > n - 14) damaged("its encryption header is cut short");
    const unsigned char* header = p + 14;
    std::uint32_t keyBits = le32(header + 16);
    if (keyBits == 0) keyBits = 40;
    if (keyBits % 8 != 0 || keyBits < 40 || keyBits > 128)
      fail(ErrorCode::Unsupported, "it uses an RC4 key length we do not read");
    const unsigned char* verifier = header + headerSize;
    std::size_t left = n - 14 - headerSize;
    if (left < 4 + 16 + 16 + 4 + SHA1_DIGEST_SIZE || le32(verifier) != 16)
      damaged("its encryption verifier is cut short");
    const std::uint8_t* salt = verifier + 4;
    for (const std::string& pw : candidates(passwords)) {
      Rc4CryptoApiDecryptor d(pw, salt, keyBits / 8);
      std::uint8_t v[16 + SHA1_DIGEST_SIZE];
      std::memcpy(v, verifier + 20, 16);
      std::memcpy(v + 16, verifier + 40, SHA1_DIGEST_SIZE);
      d.decryptVerifier(v, sizeof v);
      std::uint8_t h[SHA1_DIGEST_SIZE];
      sha1_ctx sha;
      sha1_init(&sha);
      sha1_update(&sha, 16, v);
      sha1_digest(&sha, sizeof h, h);
      if (std::memcmp(h, v + 16, SHA1_DIGEST_SIZE) == 0)
        return std::make_unique<Rc4CryptoApiDecryptor>(pw, salt, keyBits / 8);
    }
    noPasswordOpens(!passwords.empty());
  }
  fail(ErrorCode::Unsupported, "it uses an RC4 encryption version we do not read");
}

}  // namespace quorvel::spreadsheet::xls
