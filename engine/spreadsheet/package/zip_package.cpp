#include "engine/spreadsheet/package/zip_package.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <new>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/xml_parser.h"
#include "engine/spreadsheet/package/zip_directory.h"

namespace quorvel::spreadsheet {

namespace {

// Part names compare without letter case, with "/" for "\", no leading "/".
std::string normalise(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '\\') c = '/';
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  while (!out.empty() && out[0] == '/') out.erase(0, 1);
  return out;
}

std::string zipErrorText(zip_error_t* e) {
  return zip_error_strerror(e);
}

// Why a part cannot be read, in words, from libzip's error.
[[noreturn]] void partUnreadable(std::string_view partName, zip_error_t* e) {
  const std::string part = partText(partName);
  switch (zip_error_code_zip(e)) {
    case ZIP_ER_CRC:
      damaged(part + " fails its CRC check");
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
    case ZIP_ER_INVAL:
      damaged(part + " holds compressed data that cannot be unpacked");
    case ZIP_ER_EOF:
      damaged(part + " is cut short: the file ends inside it");
    case ZIP_ER_INCONS:
      damaged(part + " does not match its entry in the zip directory");
    case ZIP_ER_COMPNOTSUPP:
      fail(ErrorCode::Unsupported, part + " is compressed with a method we do not read");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
      fail(ErrorCode::Unsupported, part + " is encrypted inside the zip file");
    case ZIP_ER_MEMORY:
      throw std::bad_alloc();
    default:
      damaged(part + " cannot be read (" + zipErrorText(e) + ")");
  }
}

class RelsHandler : public XmlHandler {
 public:
  RelsHandler(std::string_view source, std::string_view relsPart, std::vector<Relationship>& out)
      : source_(source), relsPart_(relsPart), out_(out) {}
  void startElement(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    if (out_.size() == kMaxRelationships)
      fail(ErrorCode::TooLarge, "the part " + relsPart_ + " lists more than " +
                                    std::to_string(kMaxRelationships) + " relationships");
    Relationship rel;
    if (const char* v = findAttr(attrs, "Id")) rel.id = v;
    if (const char* v = findAttr(attrs, "Type")) rel.type = v;
    const char* mode = findAttr(attrs, "TargetMode");
    rel.external = mode && std::string_view(mode) == "External";
    if (const char* v = findAttr(attrs, "Target"))
      rel.target = rel.external ? std::string(v) : resolvePartName(source_, v);
    bytes_ += rel.id.size() + rel.type.size() + rel.target.size();
    if (bytes_ > kMaxRelationshipsBytes)
      fail(ErrorCode::TooLarge, "the relationships of the part " + relsPart_ + " take more than " +
                                    std::to_string(kMaxRelationshipsBytes >> 20) + " MB");
    out_.push_back(std::move(rel));
  }

 private:
  std::string source_, relsPart_;
  std::size_t bytes_ = 0;
  std::vector<Relationship>& out_;
};

}  // namespace

// Compressed bytes read from the file at a time, at most. Every call into
// the inflater copies its 32 KB window aside, so each should have plenty of
// input; a small part gets a buffer no larger than itself.
constexpr std::size_t kRawBlock = 256 * 1024;
constexpr std::size_t kMinRawBlock = 4 * 1024;

PartStream::PartStream(zip_file* file, std::string partName, std::uint64_t size,
                       std::unique_ptr<Inflater> inflater, std::uint32_t crc,
                       std::uint64_t compressedSize)
    : file_(file),
      name_(std::move(partName)),
      size_(size),
      inflater_(std::move(inflater)),
      crc_(crc) {
  if (inflater_) {
    rawSize_ = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(compressedSize, kMinRawBlock, kRawBlock));
    raw_.reset(new unsigned char[rawSize_]);
  }
}

PartStream::~PartStream() {
  if (file_) zip_fclose(file_);
}

std::size_t PartStream::read(char* buffer, std::size_t n) {
  if (inflater_) return inflateInto(buffer, n);
  zip_int64_t got = zip_fread(file_, buffer, n);
  if (got < 0) partUnreadable(name_, zip_file_get_error(file_));
  return static_cast<std::size_t>(got);
}

std::size_t PartStream::inflateInto(char* buffer, std::size_t n) {
  // The buffer is filled whole, but at the part's end: a reader cutting the
  // part into pieces then knows how much it gets.
  std::size_t total = 0;
  while (!done_ && total < n) {
    if (rawAt_ == rawEnd_ && !rawDone_) {
      zip_int64_t got = zip_fread(file_, raw_.get(), rawSize_);
      if (got < 0) partUnreadable(name_, zip_file_get_error(file_));
      rawAt_ = 0;
      rawEnd_ = static_cast<std::size_t>(got);
      rawDone_ = got == 0;
    }
    const std::size_t available = rawEnd_ - rawAt_;
    Inflater::Step step =
        inflater_->inflate(raw_.get() + rawAt_, available, buffer + total, n - total);
    rawAt_ += step.consumed;
    total += step.produced;
    produced_ += step.produced;
    if (step.status == Inflater::Status::Corrupt)
      damaged(partText(name_) + " holds compressed data that cannot be unpacked");
    // More than the directory promised: stop before a bomb fills memory.
    if (produced_ > size_)
      damaged(partText(name_) + " does not match its entry in the zip directory");
    if (step.status == Inflater::Status::End) {
      finish();
      break;
    }
    if (step.produced == 0 && step.consumed == 0) {
      if (rawDone_) damaged(partText(name_) + " is cut short: the file ends inside it");
      if (available > 0)
        damaged(partText(name_) + " holds compressed data that cannot be unpacked");
    }
  }
  return total;
}

void PartStream::finish() {
  done_ = true;
  const std::string part = partText(name_);
  if (produced_ != size_) damaged(part + " does not match its entry in the zip directory");
  if (inflater_->crc() != crc_) damaged(part + " fails its CRC check");
}

std::unique_ptr<ZipPackage> ZipPackage::open(const std::string& path, InflateBackend backend) {
  // libzip holds the whole central directory, a few hundred bytes an entry:
  // refuse what no workbook needs before it reads a byte of it.
  for (const ZipDirectoryClaim& claim : readZipDirectoryClaims(path)) {
    if (claim.entries > kMaxPackageEntries)
      fail(ErrorCode::TooLarge, "its package lists " + std::to_string(claim.entries) +
                                    " entries, more than the " +
                                    std::to_string(kMaxPackageEntries) + " a workbook may have");
    if (claim.bytes > kMaxPackageDirectoryBytes)
      fail(ErrorCode::TooLarge, "its package's list of entries takes " +
                                    std::to_string(claim.bytes >> 20) + " MB, more than the " +
                                    std::to_string(kMaxPackageDirectoryBytes >> 20) +
                                    " MB a workbook may need");
  }
  int code = 0;
  zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (!archive) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string text = zipErrorText(&e);
    zip_error_fini(&e);
    if (code == ZIP_ER_OPEN || code == ZIP_ER_READ || code == ZIP_ER_NOENT)
      fail(ErrorCode::CannotOpen, text);
    fail(ErrorCode::NotAWorkbook, "it is not a valid zip package (" + text + ")");
  }
  std::unique_ptr<ZipPackage> pkg(new ZipPackage);
  pkg->archive_ = archive;
  pkg->backend_ = backend;
  zip_int64_t n = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name) pkg->index_.emplace(normalise(name), i);
  }
  return pkg;
}

ZipPackage::~ZipPackage() {
  if (archive_) zip_discard(archive_);
}

std::int64_t ZipPackage::indexOf(std::string_view partName) const {
  auto it = index_.find(normalise(partName));
  return it == index_.end() ? -1 : it->second;
}

bool ZipPackage::has(std::string_view partName) const {
  return indexOf(partName) >= 0;
}

std::unique_ptr<PartStream> ZipPackage::openPart(std::string_view partName) const {
  std::int64_t i = indexOf(partName);
  if (i < 0) damaged(partText(partName) + " is missing from the package");
  zip_stat_t st;
  zip_stat_init(&st);
  zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st);
  std::uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  // Deflated parts (nearly all) are inflated here, with the faster library;
  // stored, encrypted or otherwise compressed ones are left to libzip.
  constexpr zip_uint64_t kNeeded =
      ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
  const bool deflated = (st.valid & kNeeded) == kNeeded && st.comp_method == ZIP_CM_DEFLATE &&
                        st.encryption_method == ZIP_EM_NONE;
  zip_file* f =
      zip_fopen_index(archive_, static_cast<zip_uint64_t>(i), deflated ? ZIP_FL_COMPRESSED : 0);
  if (!f) partUnreadable(partName, zip_get_error(archive_));
  if (!deflated) return std::make_unique<PartStream>(f, std::string(partName), size);
  std::unique_ptr<Inflater> inflater;
  try {
    inflater = makeInflater(backend_);
  } catch (...) {
    zip_fclose(f);
    throw;
  }
  const std::uint64_t compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
  return std::make_unique<PartStream>(f, std::string(partName), size, std::move(inflater), st.crc,
                                      compressedSize);
}

std::string ZipPackage::readPart(std::string_view partName, std::size_t limit) const {
  auto stream = openPart(partName);
  if (stream->size() > limit)
    fail(ErrorCode::TooLarge,
         partText(partName) + " is larger than " + std::to_string(limit >> 20) + " MB");
  std::string data;
  data.resize(static_cast<std::size_t>(stream->size()));
  std::size_t have = 0;
  while (true) {
    if (have == data.size()) data.resize(std::max<std::size_t>(data.size() * 2, 4096));
    std::size_t got = stream->read(data.data() + have, data.size() - have);
    if (got == 0) break;
    have += got;
    if (have > limit)
      fail(ErrorCode::TooLarge,
           partText(partName) + " is larger than " + std::to_string(limit >> 20) + " MB");
  }
  data.resize(have);
  return data;
}

std::vector<Relationship> ZipPackage::relationships(std::string_view sourcePart) const {
  std::string src = normalise(sourcePart);
  std::string relsPart;
  std::size_t slash = src.rfind('/');
  if (src.empty())
    relsPart = "_rels/.rels";
  else if (slash == std::string::npos)
    relsPart = "_rels/" + src + ".rels";
  else
    relsPart = src.substr(0, slash) + "/_rels/" + src.substr(slash + 1) + ".rels";
  std::vector<Relationship> rels;
  if (!has(relsPart)) return rels;
  RelsHandler handler(sourcePart, relsPart, rels);
  parseXml(*openPart(relsPart), handler, relsPart);
  return rels;
}

std::string ZipPackage::workbookPart() const {
  for (const Relationship& rel : relationships(""))
    if (!rel.external && relTypeIs(rel, "/officeDocument") && has(rel.target)) return rel.target;
  for (const char* guess : {"xl/workbook.xml", "xl/workbook.bin"})
    if (has(guess)) return guess;
  fail(ErrorCode::NotAWorkbook, "no workbook part in the package");
}

std::vector<std::string> ZipPackage::partNames() const {
  std::vector<std::string> names;
  zip_int64_t n = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < n; ++i)
    if (const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW))
      names.emplace_back(name);
  return names;
}

}  // namespace quorvel::spreadsheet
