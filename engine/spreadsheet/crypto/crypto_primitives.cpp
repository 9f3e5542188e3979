#include "engine/spreadsheet/crypto/crypto_primitives.h"

#include <nettle/base64.h>
#include <nettle/cbc.h>
#include <nettle/nettle-meta.h>
#include <nettle/sha2.h>

#include <cstring>

namespace quorvel::spreadsheet::crypto {

namespace {

const std::uint8_t* bytesOf(std::string_view s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Room for the largest hash context, so hashing allocates nothing per call.
union HashContext {
  std::uint8_t bytes[512];
  std::max_align_t align;
};
static_assert(sizeof(HashContext) >= sizeof(struct sha512_ctx));

}  // namespace

std::optional<Hash> Hash::byName(std::string_view name) {
  if (name == "SHA1" || name == "SHA-1") return Hash(&nettle_sha1);
  if (name == "SHA256" || name == "SHA-256") return Hash(&nettle_sha256);
  if (name == "SHA384" || name == "SHA-384") return Hash(&nettle_sha384);
  if (name == "SHA512" || name == "SHA-512") return Hash(&nettle_sha512);
  return std::nullopt;
}

Hash Hash::sha1() {
  return Hash(&nettle_sha1);
}

std::size_t Hash::size() const {
  return h_->digest_size;
}

Bytes Hash::digest(std::initializer_list<std::string_view> pieces) const {
  HashContext ctx;
  h_->init(&ctx);
  for (std::string_view p : pieces) h_->update(&ctx, p.size(), bytesOf(p));
  Bytes out(h_->digest_size);
  h_->digest(&ctx, out.size(), out.data());
  return out;
}

Bytes Hash::iteratedPasswordHash(std::string_view salt, std::string_view passwordUtf16,
                                 std::uint32_t spinCount) const {
  HashContext ctx;
  const std::size_t n = h_->digest_size;
  // buf = LE32(i) followed by the previous hash, rehashed in place.
  std::uint8_t buf[4 + 64];
  h_->init(&ctx);
  h_->update(&ctx, salt.size(), bytesOf(salt));
  h_->update(&ctx, passwordUtf16.size(), bytesOf(passwordUtf16));
  h_->digest(&ctx, n, buf + 4);
  for (std::uint32_t i = 0; i < spinCount; ++i) {
    buf[0] = std::uint8_t(i);
    buf[1] = std::uint8_t(i >> 8);
    buf[2] = std::uint8_t(i >> 16);
    buf[3] = std::uint8_t(i >> 24);
    h_->init(&ctx);
    h_->update(&ctx, 4 + n, buf);
    h_->digest(&ctx, n, buf + 4);
  }
  return Bytes(buf + 4, buf + 4 + n);
}

AesDecryptor::AesDecryptor(const nettle_cipher* c)
    : cipher_(c), context_(new std::uint8_t[c->context_size]) {}

std::optional<AesDecryptor> AesDecryptor::withKey(const Bytes& key) {
  const nettle_cipher* c = nullptr;
  switch (key.size()) {
    case 16:
      c = &nettle_aes128;
      break;
    case 24:
      c = &nettle_aes192;
      break;
    case 32:
      c = &nettle_aes256;
      break;
    default:
      return std::nullopt;
  }
  AesDecryptor d(c);
  c->set_decrypt_key(d.context_.get(), key.data());
  return d;
}

void AesDecryptor::decryptEcb(std::uint8_t* data, std::size_t n) const {
  cipher_->decrypt(context_.get(), n, data, data);
}

void AesDecryptor::decryptCbc(Bytes iv, std::uint8_t* data, std::size_t n) const {
  iv.resize(kBlockSize);
  cbc_decrypt(context_.get(), cipher_->decrypt, kBlockSize, iv.data(), n, data, data);
}

std::string utf16le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto put = [&out](std::uint32_t u) {
    out.push_back(char(u & 0xFF));
    out.push_back(char(u >> 8));
  };
  for (std::size_t i = 0; i < utf8.size();) {
    auto b = static_cast<std::uint8_t>(utf8[i]);
    std::size_t len = b < 0x80         ? 1
                      : (b >> 5) == 6  ? 2
                      : (b >> 4) == 14 ? 3
                      : (b >> 3) == 30 ? 4
                                       : 0;
    std::uint32_t cp = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    bool ok = len > 0 && i + len <= utf8.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      auto c = static_cast<std::uint8_t>(utf8[i + k]);
      ok = (c >> 6) == 2;
      cp = cp << 6 | (c & 0x3F);
    }
    static const std::uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)))
      ok = false;
    if (!ok) {
      put(b);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
    i += len;
  }
  return out;
}

std::optional<Bytes> base64Decode(std::string_view text) {
  base64_decode_ctx ctx;
  base64_decode_init(&ctx);
  Bytes out(BASE64_DECODE_LENGTH(text.size()));
  std::size_t n = out.size();
  if (!base64_decode_update(&ctx, &n, out.data(), text.size(), text.data()) ||
      !base64_decode_final(&ctx))
    return std::nullopt;
  out.resize(n);
  return out;
}

bool sameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < n; ++i) diff |= a[i] ^ b[i];
  return diff == 0;
}

}  // namespace quorvel::spreadsheet::crypto
