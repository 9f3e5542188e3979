#pragma once
// Workbooks written with libxlsxwriter for tests and benchmarks.
#include <string>
#include <variant>
#include <vector>

namespace quorvel::test {

using GeneratedCell = std::variant<std::string, double>;

struct GeneratedSheet {
  std::string name;
  std::vector<std::vector<GeneratedCell>> rows;  // from A1
};

// Writes an .xlsx workbook; throws std::runtime_error when it cannot.
void writeWorkbook(const std::string& path, const std::vector<GeneratedSheet>& sheets);

// The same workbook encrypted with `password` (agile encryption, few hash
// rounds so that tests stay quick), as an application saves it.
void writeEncryptedWorkbook(const std::string& path, const std::vector<GeneratedSheet>& sheets,
                            const std::u16string& password);

}  // namespace quorvel::test
