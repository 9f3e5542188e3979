#include "tests/support/biff_encrypt.h"

#include <nettle/arcfour.h>
#include <nettle/sha1.h>

#include <vector>

#include "tests/support/biff_writer.h"

namespace quorvel::test {

namespace {

const unsigned char kSalt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

std::vector<std::uint8_t> blockKey(const std::string& password, std::uint32_t keyBits,
                                   std::uint32_t block) {
  std::u16string pw = utf16FromUtf8(password);
  std::uint8_t h0[SHA1_DIGEST_SIZE];
  sha1_ctx sha;
  sha1_init(&sha);
  sha1_update(&sha, 16, kSalt);
  for (char16_t c : pw) {
    std::uint8_t b[2] = {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)};
    sha1_update(&sha, 2, b);
  }
  sha1_digest(&sha, sizeof h0, h0);
  std::uint8_t blockBytes[4] = {
      static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
      static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
  std::uint8_t h[SHA1_DIGEST_SIZE];
  sha1_init(&sha);
  sha1_update(&sha, sizeof h0, h0);
  sha1_update(&sha, 4, blockBytes);
  sha1_digest(&sha, sizeof h, h);
  std::vector<std::uint8_t> key(h, h + keyBits / 8);
  if (keyBits == 40) key.resize(16, 0);
  return key;
}

bool leftClear(std::uint16_t type) {
  return type == 0x0809 || type == 0x002F || type == 0x0194 || type == 0x0195 || type == 0x00E1 ||
         type == 0x0196 || type == 0x0138;
}

}  // namespace

std::string cryptoApiFilePass(const std::string& password, std::uint32_t keyBits) {
  std::string d;
  put16(d, 1);  // RC4
  put16(d, 4);  // CryptoAPI header, version 4.2
  put16(d, 2);
  put32(d, 0x04);  // fCryptoAPI
  std::string header;
  put32(header, 0x04);
  put32(header, 0);
  put32(header, 0x6801);  // RC4
  put32(header, 0x8004);  // SHA-1
  put32(header, keyBits);
  put32(header, 1);
  put32(header, 0);
  put32(header, 0);
  for (char c : std::string("Test CSP")) put16(header, static_cast<unsigned char>(c));
  put16(header, 0);
  put32(d, static_cast<std::uint32_t>(header.size()));
  d += header;
  put32(d, 16);
  d.append(reinterpret_cast<const char*>(kSalt), 16);
  std::uint8_t verifier[16 + SHA1_DIGEST_SIZE];
  for (int i = 0; i < 16; ++i) verifier[i] = static_cast<std::uint8_t>(0xA0 + i);
  sha1_ctx sha;
  sha1_init(&sha);
  sha1_update(&sha, 16, verifier);
  sha1_digest(&sha, SHA1_DIGEST_SIZE, verifier + 16);
  std::vector<std::uint8_t> key = blockKey(password, keyBits, 0);
  arcfour_ctx rc4;
  arcfour_set_key(&rc4, key.size(), key.data());
  arcfour_crypt(&rc4, sizeof verifier, verifier, verifier);
  d.append(reinterpret_cast<const char*>(verifier), 16);
  put32(d, SHA1_DIGEST_SIZE);
  d.append(reinterpret_cast<const char*>(verifier + 16), SHA1_DIGEST_SIZE);
  return d;
}

std::string encryptCryptoApi(const std::string& stream, const std::string& password,
                             std::uint32_t keyBits) {
  std::vector<bool> encrypt(stream.size(), false);
  for (std::size_t at = 0; at + 4 <= stream.size();) {
    auto u16 = [&](std::size_t p) {
      return static_cast<std::uint16_t>(static_cast<unsigned char>(stream[p]) |
                                        (static_cast<unsigned char>(stream[p + 1]) << 8));
    };
    std::uint16_t type = u16(at), size = u16(at + 2);
    if (!leftClear(type))
      for (std::size_t k = (type == 0x0085 ? 4 : 0); k < size; ++k) encrypt[at + 4 + k] = true;
    at += 4u + size;
  }
  std::string out = stream;
  for (std::size_t block = 0; block * 1024 < out.size(); ++block) {
    std::vector<std::uint8_t> key = blockKey(password, keyBits, static_cast<std::uint32_t>(block));
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, key.size(), key.data());
    std::uint8_t ks[1024] = {};
    arcfour_crypt(&rc4, sizeof ks, ks, ks);
    for (std::size_t k = 0; k < 1024 && block * 1024 + k < out.size(); ++k)
      if (encrypt[block * 1024 + k])
        out[block * 1024 + k] = static_cast<char>(out[block * 1024 + k] ^ ks[k]);
  }
  return out;
}

}  // namespace quorvel::test
