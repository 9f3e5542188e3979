#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xls/xls_reader.h"
#include "engine/spreadsheet/xlsb/xlsb_reader.h"
#include "engine/spreadsheet/xlsx/xlsx_reader.h"

namespace quorvel::spreadsheet {

namespace {

bool endsWithBin(const std::string& part) {
  return part.size() >= 4 && (part.compare(part.size() - 4, 4, ".bin") == 0 ||
                              part.compare(part.size() - 4, 4, ".BIN") == 0);
}

}  // namespace

std::unique_ptr<WorkbookReader> openOoxmlPackage(const std::string& path) {
  auto package = ZipPackage::open(path);
  std::string part = package->workbookPart();
  if (endsWithBin(part)) return openXlsbWorkbook(std::move(package), part);
  return openXlsxWorkbook(std::move(package), part);
}

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
  if (got == 8 && std::memcmp(head, kCompound, 8) == 0) return openXlsWorkbook(path, options);
  // Bare BIFF2-4 streams start with a BOF record: 0x0009, 0x0209, 0x0409.
  if (got >= 4 && (head[0] == 0x09) && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04))
    return openXlsWorkbook(path, options);
  if (got == 0) fail(ErrorCode::NotAWorkbook, "the file is empty");
  fail(ErrorCode::NotAWorkbook, "its content is neither a zip package nor a compound file");
}

}  // namespace quorvel::spreadsheet
