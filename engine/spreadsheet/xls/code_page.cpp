#include "engine/spreadsheet/xls/code_page.h"

#include <iconv.h>

#include <cerrno>

#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet::xls {

const char* iconvNameOfCodePage(std::uint16_t number) {
  switch (number) {
    case 367:
    case 1252:
    case 32769:  // the application's alias of 1252
      return "CP1252";
    case 437:
      return "CP437";
    case 850:
      return "CP850";
    case 852:
      return "CP852";
    case 866:
      return "CP866";
    case 874:
      return "CP874";
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 1361:
      return "JOHAB";
    case 10000:
    case 32768:  // the application's alias of Mac Roman
      return "MACINTOSH";
    default:
      return nullptr;
  }
}

namespace {

bool isDoubleByte(std::uint16_t number) {
  return number == 932 || number == 936 || number == 949 || number == 950 || number == 1361;
}

void setEntry(std::array<char, 4>& entry, const std::string& utf8) {
  entry[0] = static_cast<char>(utf8.size());
  for (std::size_t i = 0; i < utf8.size() && i < 3; ++i) entry[i + 1] = utf8[i];
}

}  // namespace

CodePage::CodePage(std::uint16_t number) : number_(number) {
  const char* name = iconvNameOfCodePage(number);
  // 1200 (UTF-16) workbooks store 8-bit text as the low bytes of UTF-16.
  if (!name && number != 1200) name = "CP1252";
  for (unsigned b = 0; b < 256; ++b) {
    std::string u;
    appendUtf8(b, u);
    setEntry(table_[b], u);
  }
  if (!name) return;
  iconv_t cd = iconv_open("UTF-8", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  if (isDoubleByte(number)) {
    doubleByte_ = true;
    iconv_ = cd;
    return;
  }
  for (unsigned b = 0x80; b < 256; ++b) {
    char in = static_cast<char>(b);
    char outBuf[8];
    char* inPtr = &in;
    char* outPtr = outBuf;
    std::size_t inLeft = 1, outLeft = sizeof outBuf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
        outPtr - outBuf <= 3)
      setEntry(table_[b], std::string(outBuf, static_cast<std::size_t>(outPtr - outBuf)));
    else
      setEntry(table_[b], "?");
  }
  iconv_close(cd);
}

CodePage::~CodePage() {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

void CodePage::append(const unsigned char* p, std::size_t n, std::string& out) const {
  if (!doubleByte_) {
    for (std::size_t i = 0; i < n; ++i) {
      const auto& e = table_[p[i]];
      out.append(e.data() + 1, static_cast<std::size_t>(e[0]));
    }
    return;
  }
  auto cd = static_cast<iconv_t>(iconv_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
  std::size_t inLeft = n;
  char buf[256];
  while (inLeft > 0) {
    char* o = buf;
    std::size_t outLeft = sizeof buf;
    std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A byte the code page does not map (or a cut-off lead byte).
      out.push_back('?');
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

}  // namespace quorvel::spreadsheet::xls
