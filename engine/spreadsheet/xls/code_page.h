#pragma once
// 8-bit text of BIFF2-5 workbooks (and the workbook's code page) to UTF-8.
#include <array>
#include <cstdint>
#include <string>

namespace quorvel::spreadsheet::xls {

class CodePage {
 public:
  // A Windows code page number as the CodePage record stores it; numbers we
  // do not know read as Windows-1252, the application's default.
  explicit CodePage(std::uint16_t number = 1252);
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  std::uint16_t number() const { return number_; }
  // Appends `n` bytes of text in this code page to `out` as UTF-8.
  void append(const unsigned char* p, std::size_t n, std::string& out) const;

 private:
  std::uint16_t number_;
  bool doubleByte_ = false;
  void* iconv_ = nullptr;  // iconv_t of a double-byte code page
  // UTF-8 of each byte of a single-byte code page: length, then up to 3 bytes.
  std::array<std::array<char, 4>, 256> table_{};
};

// The name iconv knows a Windows code page by, or nullptr.
const char* iconvNameOfCodePage(std::uint16_t number);

}  // namespace quorvel::spreadsheet::xls
