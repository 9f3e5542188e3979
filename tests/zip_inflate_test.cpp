// Both inflate back-ends, ISA-L (where the build has it) and zlib: the same
// bytes as libzip's own inflating, and damage told in the same words.
#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <optional>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/inflater.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

// Text that compresses like a sheet part, long enough to cross many blocks.
std::string sheetLikeText(std::size_t size) {
  std::string text;
  for (std::uint32_t i = 0; text.size() < size; ++i)
    text += "<row r=\"" + std::to_string(i) + "\"><c><v>" + std::to_string(i * 2654435761u) +
            "</v></c></row>";
  return text;
}

std::string rawDeflate(const std::string& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::uint32_t crcOf(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Fed {
  std::string out;
  Inflater::Status status = Inflater::Status::More;
};

// Feeds `in` at most `inPiece` bytes at a time into an output of `outPiece`
// bytes, until the end, a fault, or no progress.
Fed feed(Inflater& inflater, const std::string& in, std::size_t inPiece, std::size_t outPiece) {
  Fed fed;
  std::vector<char> buffer(outPiece);
  std::size_t at = 0;
  while (true) {
    std::size_t n = std::min(inPiece, in.size() - at);
    Inflater::Step step = inflater.inflate(reinterpret_cast<const unsigned char*>(in.data()) + at,
                                           n, buffer.data(), buffer.size());
    at += step.consumed;
    fed.out.append(buffer.data(), step.produced);
    fed.status = step.status;
    if (step.status != Inflater::Status::More) return fed;
    if (step.consumed == 0 && step.produced == 0) return fed;
  }
}

class EachBackend : public testing::TestWithParam<InflateBackend> {};

INSTANTIATE_TEST_SUITE_P(Inflate, EachBackend, testing::ValuesIn(inflateBackends()),
                         [](const testing::TestParamInfo<InflateBackend>& info) {
                           return info.param == InflateBackend::Isal ? "Isal" : "Zlib";
                         });

TEST(InflateBackends, ZlibIsAlwaysThereAndLast) {
  ASSERT_FALSE(inflateBackends().empty());
  EXPECT_EQ(inflateBackends().back(), InflateBackend::Zlib);
}

TEST_P(EachBackend, InflatesRawDeflateInAnyPiecesWithItsCrc) {
  const std::string text = sheetLikeText(300'000);
  const std::string packed = rawDeflate(text);
  // Byte by byte in and out (every state the stream can stop in), then in
  // large pieces.
  for (auto [inPiece, outPiece] :
       {std::pair<std::size_t, std::size_t>{1, 1}, {7, 4093}, {1 << 16, 1 << 18}}) {
    auto inflater = makeInflater(GetParam());
    Fed fed = feed(*inflater, packed, inPiece, outPiece);
    EXPECT_EQ(fed.status, Inflater::Status::End) << inPiece << "/" << outPiece;
    EXPECT_TRUE(fed.out == text) << inPiece << "/" << outPiece;
    EXPECT_EQ(inflater->crc(), crcOf(text));
  }
  // An empty part deflates to a few bytes, and inflates to nothing.
  auto inflater = makeInflater(GetParam());
  Fed fed = feed(*inflater, rawDeflate(""), 100, 100);
  EXPECT_EQ(fed.status, Inflater::Status::End);
  EXPECT_EQ(fed.out, "");
  EXPECT_EQ(inflater->crc(), 0u);
}

TEST_P(EachBackend, CutOrSpoiledStreamsNeverEnd) {
  const std::string text = sheetLikeText(100'000);
  const std::string packed = rawDeflate(text);
  {
    auto inflater = makeInflater(GetParam());
    Fed fed = feed(*inflater, packed.substr(0, packed.size() / 2), 1000, 1 << 16);
    EXPECT_EQ(fed.status, Inflater::Status::More);
    EXPECT_LT(fed.out.size(), text.size());
  }
  {
    // A block of the reserved type 3 at the start.
    auto inflater = makeInflater(GetParam());
    Fed fed = feed(*inflater, std::string(16, '\xFF') + packed, 1000, 1 << 16);
    EXPECT_EQ(fed.status, Inflater::Status::Corrupt);
  }
}

// A zip entry's CRC and sizes, rewritten in its local header and in the
// central directory alike, so that libzip finds them consistent.
void patchEntry(std::string& zipBytes, const std::string& name, std::optional<std::uint32_t> crc,
                std::optional<std::uint32_t> compressedSize, std::optional<std::uint32_t> size) {
  auto put = [&](std::size_t at, std::optional<std::uint32_t> v) {
    if (!v) return;
    for (int i = 0; i < 4; ++i) zipBytes[at + i] = static_cast<char>((*v >> (8 * i)) & 0xFF);
  };
  int patched = 0;
  for (auto [signature, crcAt, nameAt] :
       {std::tuple<const char*, std::size_t, std::size_t>{"PK\x03\x04", 14, 30},
        {"PK\x01\x02", 16, 46}}) {
    for (std::size_t at = zipBytes.find(signature); at != std::string::npos;
         at = zipBytes.find(signature, at + 4)) {
      if (zipBytes.compare(at + nameAt, name.size(), name) != 0) continue;
      put(at + crcAt, crc);
      put(at + crcAt + 4, compressedSize);
      put(at + crcAt + 8, size);
      ++patched;
    }
  }
  ASSERT_EQ(patched, 2) << name;
}

std::string readAll(PartStream& stream, std::size_t piece) {
  std::string out;
  std::vector<char> buffer(piece);
  while (std::size_t n = stream.read(buffer.data(), buffer.size())) out.append(buffer.data(), n);
  return out;
}

// The message a part's reading fails with, or "" when it reads whole.
std::string readFault(const std::string& path, InflateBackend backend) {
  try {
    auto package = ZipPackage::open(path, backend);
    auto stream = package->openPart("big.xml");
    readAll(*stream, 1 << 16);
    return "";
  } catch (const FormatError& e) {
    return e.what();
  }
}

TEST_P(EachBackend, PartsReadWholeAndDamageIsToldInWords) {
  const std::string text = sheetLikeText(2'000'000);
  test::TempDir dir;
  const std::string path = dir.file("p.zip");
  test::writeZip(path, {{"big.xml", text}, {"stored.xml", "kept as it is", true}, {"e.xml", ""}});
  {
    auto package = ZipPackage::open(path, GetParam());
    for (std::size_t piece : {std::size_t(1), std::size_t(4097), std::size_t(1) << 20}) {
      auto stream = package->openPart("big.xml");
      EXPECT_EQ(stream->size(), text.size());
      EXPECT_TRUE(readAll(*stream, piece) == text) << piece;
    }
    // A deflated part fills each read whole but the last: a reader cutting
    // it into pieces gets as much as it asks for.
    auto stream = package->openPart("big.xml");
    std::vector<char> buffer(300'000);
    std::size_t total = 0, n = 0;
    while ((n = stream->read(buffer.data(), buffer.size())) == buffer.size()) total += n;
    EXPECT_EQ(total + n, text.size());
    EXPECT_EQ(stream->read(buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(readAll(*package->openPart("stored.xml"), 5), "kept as it is");
    EXPECT_EQ(readAll(*package->openPart("e.xml"), 5), "");
    EXPECT_EQ(package->readPart("big.xml", 4 << 20), text);
  }
  const std::string good = test::readFile(path);
  const std::uint32_t compressed = static_cast<std::uint32_t>(rawDeflate(text).size());
  auto faultAfter = [&](auto change) {
    std::string bytes = good;
    change(bytes);
    test::writeFile(path, bytes);
    return readFault(path, GetParam());
  };
  EXPECT_EQ(faultAfter([&](std::string& b) { patchEntry(b, "big.xml", ~crcOf(text), {}, {}); }),
            "the part big.xml fails its CRC check");
  // The compressed data ends (as the directory says) before its last block.
  EXPECT_EQ(faultAfter([&](std::string& b) { patchEntry(b, "big.xml", {}, compressed / 2, {}); }),
            "the part big.xml is cut short: the file ends inside it");
  // More than the directory promised (a bomb's way), and less.
  for (std::uint32_t size : {std::uint32_t(text.size() / 3), std::uint32_t(text.size() + 1)})
    EXPECT_EQ(faultAfter([&](std::string& b) { patchEntry(b, "big.xml", {}, {}, size); }),
              "the part big.xml does not match its entry in the zip directory")
        << size;
  EXPECT_EQ(faultAfter([&](std::string& b) {
              std::size_t data = b.find("big.xml") + 7;  // the local header's name ends
              for (std::size_t i = data; i < data + 8; ++i) b[i] = '\xFF';
            }),
            "the part big.xml holds compressed data that cannot be unpacked");
}

// libzip's own inflating of a part, or nullopt when it refuses it.
std::optional<std::string> libzipRead(zip_t* archive, zip_uint64_t index) {
  zip_file_t* f = zip_fopen_index(archive, index, 0);
  if (!f) return std::nullopt;
  std::string out;
  char buffer[1 << 15];
  zip_int64_t n;
  while ((n = zip_fread(f, buffer, sizeof buffer)) > 0) out.append(buffer, std::size_t(n));
  zip_fclose(f);
  if (n < 0) return std::nullopt;
  return out;
}

TEST(InflateBackends, EveryCorpusPartReadsAsLibzipReadsIt) {
  std::size_t parts = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::corpusDir())) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".xlsx" && ext != ".xlsm" && ext != ".xlsb") continue;
    const std::string path = entry.path().string();
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) continue;  // encrypted (a compound file) or not a zip at all
    std::vector<InflateBackend> backends(inflateBackends().begin(), inflateBackends().end());
    std::vector<std::unique_ptr<ZipPackage>> opened;
    try {
      for (InflateBackend b : backends) opened.push_back(ZipPackage::open(path, b));
    } catch (const FormatError&) {
      zip_discard(archive);
      continue;  // refused before any part is read
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
      const char* name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW);
      if (!name || !opened[0]->has(name)) continue;
      std::optional<std::string> expected = libzipRead(archive, zip_uint64_t(i));
      for (std::size_t k = 0; k < backends.size(); ++k) {
        SCOPED_TRACE(path + ": " + name + " with " + inflateBackendName(backends[k]));
        try {
          std::string got = readAll(*opened[k]->openPart(name), 10000);
          ASSERT_TRUE(expected.has_value()) << "read a part libzip refuses";
          EXPECT_TRUE(got == *expected);
          ++parts;
        } catch (const FormatError& e) {
          EXPECT_FALSE(expected.has_value()) << e.what();
        }
      }
    }
    zip_discard(archive);
  }
  EXPECT_GT(parts, 100u);
}

}  // namespace
}  // namespace quorvel::spreadsheet
