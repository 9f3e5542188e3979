#include "tests/support/generated_workbooks.h"

#include <xlsxwriter.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/ooxml_encryptor.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

void writeWorkbook(const std::string& path, const std::vector<GeneratedSheet>& sheets) {
  lxw_workbook* book = workbook_new(path.c_str());
  if (!book) throw std::runtime_error("cannot create " + path);
  for (const GeneratedSheet& sheet : sheets) {
    lxw_worksheet* ws = workbook_add_worksheet(book, sheet.name.c_str());
    if (!ws) {
      workbook_close(book);
      throw std::runtime_error("cannot add worksheet '" + sheet.name + "' to " + path);
    }
    for (std::size_t r = 0; r < sheet.rows.size(); ++r)
      for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
        const GeneratedCell& cell = sheet.rows[r][c];
        auto row = static_cast<lxw_row_t>(r);
        auto col = static_cast<lxw_col_t>(c);
        if (const auto* text = std::get_if<std::string>(&cell))
          worksheet_write_string(ws, row, col, text->c_str(), nullptr);
        else
          worksheet_write_number(ws, row, col, std::get<double>(cell), nullptr);
      }
  }
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

void writeEncryptedWorkbook(const std::string& path, const std::vector<GeneratedSheet>& sheets,
                            const std::u16string& password) {
  const std::string plain = path + ".plain.xlsx";
  writeWorkbook(plain, sheets);
  const std::string package = readFile(plain);
  std::filesystem::remove(plain);
  writeFile(path, compoundFileOf(encryptAgile(package, password, {.spinCount = 1000})));
}

}  // namespace quorvel::test
