// Recognises a workbook by its content and hands it to its format's reader.
// The containers are opened here, above the formats: a compound file holds
// either a BIFF workbook or an encrypted OOXML package, which is decrypted
// and read as the zip package it is.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "engine/spreadsheet/crypto/ooxml_decrypt.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xls/reader.h"
#include "engine/spreadsheet/xlsb/reader.h"
#include "engine/spreadsheet/xlsx/reader.h"

namespace quorvel::spreadsheet {

namespace {

bool endsWithBin(const std::string& part) {
  return part.size() >= 4 && (part.compare(part.size() - 4, 4, ".bin") == 0 ||
                              part.compare(part.size() - 4, 4, ".BIN") == 0);
}

// Reads an OOXML package (.xlsx, .xlsm, .xlsb) from a zip file.
std::unique_ptr<WorkbookReader> openOoxmlPackage(const std::string& path) {
  auto package = ZipPackage::open(path);
  std::string part = package->workbookPart();
  if (endsWithBin(part)) return xlsb::openWorkbook(std::move(package), part);
  return xlsx::openWorkbook(std::move(package), part);
}

// An encrypted OOXML package: the decrypted copy lives as long as its reader.
class DecryptedPackage final : public WorkbookReader {
 public:
  DecryptedPackage(TempFile file, std::unique_ptr<WorkbookReader> inner)
      : file_(std::move(file)), inner_(std::move(inner)) {}
  const std::vector<WorksheetInfo>& worksheets() const override { return inner_->worksheets(); }
  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override {
    return inner_->openWorksheet(index);
  }
  std::unique_ptr<SheetCursor> openWorksheetInParallel(std::size_t index,
                                                       const ParallelReading& how,
                                                       FieldWriter write,
                                                       std::stop_token stop) override {
    return inner_->openWorksheetInParallel(index, how, std::move(write), std::move(stop));
  }
  const CellFormatter& formatter() const override { return inner_->formatter(); }

 private:
  TempFile file_;  // declared first: removed after the reader that reads it
  std::unique_ptr<WorkbookReader> inner_;
};

std::unique_ptr<WorkbookReader> openCompoundFile(const std::string& path,
                                                 const OpenOptions& options) {
  auto container = std::make_unique<CompoundFile>(openFileSource(path));
  if (container->hasStream("EncryptionInfo") && container->hasStream("EncryptedPackage")) {
    std::string info = container->readStream("EncryptionInfo", kMaxEncryptionInfoBytes);
    auto package = container->openStream("EncryptedPackage");
    TempFile plain = decryptOoxmlPackage(info, *package, options.passwords);
    std::unique_ptr<WorkbookReader> inner;
    try {
      inner = openOoxmlPackage(plain.path().string());
    } catch (const FormatError& e) {
      // The password was right (its verifier matched): the package itself
      // is damaged, whatever the zip reader says of the decrypted bytes.
      if (e.code() != ErrorCode::NotAWorkbook) throw;
      damaged("the password opens it, but its encrypted package decrypts to no workbook (" +
              std::string(e.what()) + ")");
    }
    return std::make_unique<DecryptedPackage>(std::move(plain), std::move(inner));
  }
  return xls::openWorkbook(std::move(container), options,
                           std::filesystem::path(path).stem().string());
}

}  // namespace

std::unique_ptr<WorkbookReader> openWorkbookReader(const std::string& path,
                                                   const OpenOptions& options) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) fail(ErrorCode::CannotOpen, std::strerror(errno));
  unsigned char head[8] = {};
  std::size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);

  static const unsigned char kZip[4] = {'P', 'K', 3, 4};
  static const unsigned char kEmptyZip[4] = {'P', 'K', 5, 6};
  static const unsigned char kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (got >= 4 && (std::memcmp(head, kZip, 4) == 0 || std::memcmp(head, kEmptyZip, 4) == 0))
    return openOoxmlPackage(path);
  if (got == 8 && std::memcmp(head, kCompound, 8) == 0) return openCompoundFile(path, options);
  // Bare BIFF2-4 streams start with a BOF record: 0x0009, 0x0209, 0x0409.
  if (got >= 4 && (head[0] == 0x09) && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04))
    return xls::openWorkbook(path, options);
  if (got == 0) fail(ErrorCode::NotAWorkbook, "the file is empty");
  fail(ErrorCode::NotAWorkbook, "its content is neither a zip package nor a compound file");
}

}  // namespace quorvel::spreadsheet
