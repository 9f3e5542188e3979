#include "engine/spreadsheet/xls/xls_reader.h"

#include <cstring>
#include <filesystem>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/xls/compound_file.h"
#include "engine/spreadsheet/xls/xls_workbook.h"

namespace quorvel::spreadsheet {

namespace {

// An encrypted OOXML package: the decrypted copy lives as long as its reader.
class DecryptedPackage final : public WorkbookReader {
 public:
  DecryptedPackage(TempFile file, std::unique_ptr<WorkbookReader> inner)
      : file_(std::move(file)), inner_(std::move(inner)) {}
  const std::vector<WorksheetInfo>& worksheets() const override { return inner_->worksheets(); }
  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override {
    return inner_->openWorksheet(index);
  }
  const CellFormatter& formatter() const override { return inner_->formatter(); }

 private:
  TempFile file_;  // declared first: removed after the reader that reads it
  std::unique_ptr<WorkbookReader> inner_;
};

bool isCompoundFile(ByteSource& file) {
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8];
  if (file.size() < sizeof head) return false;
  file.read(0, head, sizeof head);
  return std::memcmp(head, kSignature, sizeof head) == 0;
}

}  // namespace

std::unique_ptr<WorkbookReader> openXlsSource(std::unique_ptr<ByteSource> file,
                                              const OpenOptions& options,
                                              const std::string& loneSheetName) {
  if (!isCompoundFile(*file))
    return std::make_unique<XlsWorkbook>(nullptr, std::move(file), options, loneSheetName);
  auto container = std::make_unique<CompoundFile>(std::move(file));
  if (container->hasStream("EncryptionInfo") && container->hasStream("EncryptedPackage")) {
    std::string info = container->readStream("EncryptionInfo", kMaxSmallPartBytes);
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
  // BIFF8 names the stream "Workbook", BIFF5 "Book"; letter case varies.
  const char* name = container->hasStream("Workbook") ? "Workbook"
                     : container->hasStream("Book")   ? "Book"
                                                      : nullptr;
  if (!name) fail(ErrorCode::NotAWorkbook, "the compound file holds no workbook stream");
  auto stream = container->openStream(name);
  return std::make_unique<XlsWorkbook>(std::move(container), std::move(stream), options,
                                       loneSheetName);
}

std::unique_ptr<WorkbookReader> openXlsWorkbook(const std::string& path,
                                                const OpenOptions& options) {
  return openXlsSource(openFileSource(path), options, std::filesystem::path(path).stem().string());
}

}  // namespace quorvel::spreadsheet
