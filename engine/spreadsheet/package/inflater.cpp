#include "engine/spreadsheet/package/inflater.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

#ifdef QUORVEL_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace quorvel::spreadsheet {

namespace {

// Both libraries count in 32 bits; a larger buffer is simply used in part.
std::uint32_t clamp32(std::size_t n) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
}

class ZlibInflater : public Inflater {
 public:
  ZlibInflater() {
    // Negative window bits: raw deflate, no zlib header or trailer.
    if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~ZlibInflater() override { inflateEnd(&z_); }

  Step inflate(const unsigned char* in, std::size_t inSize, char* out,
               std::size_t outSize) override {
    z_.next_in = const_cast<Bytef*>(in);
    z_.avail_in = clamp32(inSize);
    z_.next_out = reinterpret_cast<Bytef*>(out);
    z_.avail_out = clamp32(outSize);
    const uInt inBefore = z_.avail_in, outBefore = z_.avail_out;
    int rc = ::inflate(&z_, Z_NO_FLUSH);
    Step step;
    step.consumed = inBefore - z_.avail_in;
    step.produced = outBefore - z_.avail_out;
    crc_ = ::crc32(crc_, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(step.produced));
    switch (rc) {
      case Z_STREAM_END:
        step.status = Status::End;
        break;
      case Z_OK:
      case Z_BUF_ERROR:  // no progress possible without more input
        break;
      case Z_MEM_ERROR:
        throw std::bad_alloc();
      default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
        step.status = Status::Corrupt;
    }
    return step;
  }

  std::uint32_t crc() const override { return static_cast<std::uint32_t>(crc_); }

 private:
  z_stream z_{};
  uLong crc_ = ::crc32(0, nullptr, 0);
};

#ifdef QUORVEL_HAVE_ISAL
class IsalInflater : public Inflater {
 public:
  IsalInflater() {
    isal_inflate_init(&s_);
    s_.crc_flag = ISAL_GZIP_NO_HDR;  // raw deflate, CRC-32 of the output kept
  }

  Step inflate(const unsigned char* in, std::size_t inSize, char* out,
               std::size_t outSize) override {
    s_.next_in = const_cast<std::uint8_t*>(in);
    s_.avail_in = clamp32(inSize);
    s_.next_out = reinterpret_cast<std::uint8_t*>(out);
    s_.avail_out = clamp32(outSize);
    const std::uint32_t inBefore = s_.avail_in, outBefore = s_.avail_out;
    int rc = isal_inflate(&s_);
    Step step;
    step.consumed = inBefore - s_.avail_in;
    step.produced = outBefore - s_.avail_out;
    if (rc < 0 || rc == ISAL_NEED_DICT)
      step.status = Status::Corrupt;
    else if (s_.block_state == ISAL_BLOCK_FINISH)
      step.status = Status::End;
    return step;
  }

  std::uint32_t crc() const override { return s_.crc; }

 private:
  inflate_state s_{};
};
#endif

constexpr InflateBackend kBackends[] = {
#ifdef QUORVEL_HAVE_ISAL
    InflateBackend::Isal,
#endif
    InflateBackend::Zlib,
};

}  // namespace

std::span<const InflateBackend> inflateBackends() {
  return kBackends;
}

const char* inflateBackendName(InflateBackend backend) {
  return backend == InflateBackend::Isal ? "ISA-L" : "zlib";
}

std::unique_ptr<Inflater> makeInflater(InflateBackend backend) {
  switch (backend) {
    case InflateBackend::Zlib:
      return std::make_unique<ZlibInflater>();
    case InflateBackend::Isal:
#ifdef QUORVEL_HAVE_ISAL
      return std::make_unique<IsalInflater>();
#else
      break;
#endif
  }
  throw std::invalid_argument(std::string("this build cannot inflate with ") +
                              inflateBackendName(backend));
}

}  // namespace quorvel::spreadsheet
