#include "engine/spreadsheet/error.h"

#include <filesystem>

#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

std::string printable(std::string_view text, std::size_t maxBytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    if (out.size() >= maxBytes) {
      out += "...";
      break;
    }
    std::size_t n = utf8CharLength(text, 0);
    auto c = static_cast<unsigned char>(text[0]);
    // C1 controls (U+0080 to U+009F) are two bytes, C2 80 to C2 9F.
    bool control = n == 1 ? c < 0x20 || c == 0x7F
                          : n == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
    if (n > 0 && !control) {
      out.append(text.substr(0, n));
      text.remove_prefix(n);
      continue;
    }
    if (n == 0) n = 1;  // a stray byte, escaped alone
    for (std::size_t i = 0; i < n; ++i) {
      auto b = static_cast<unsigned char>(text[i]);
      if (b == '\n') {
        out += "\\n";
      } else if (b == '\r') {
        out += "\\r";
      } else if (b == '\t') {
        out += "\\t";
      } else {
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
      }
    }
    text.remove_prefix(n);
  }
  return out;
}

std::string partText(std::string_view partName) {
  if (partName.empty()) return "a part without a name";
  return "the part " + printable(partName, 2 * kQuotedContentBytes);
}

void noPasswordOpens(bool given) {
  // A damaged verifier fails every password just as a wrong password does.
  fail(ErrorCode::PasswordProtected,
       given ? "none of the given passwords opens it (or its encryption data is damaged)" : "");
}

std::string describeError(ErrorCode code, std::string_view fileName, std::string_view detail) {
  std::string name;
  name.reserve(fileName.size() + 2);
  name.append(1, '\'').append(printable(fileName)).append(1, '\'');
  std::string tail;
  if (!detail.empty()) tail.append(": ").append(printable(detail));
  switch (code) {
    case ErrorCode::CannotOpen:
      return "cannot open " + name + tail;
    case ErrorCode::NotAWorkbook:
      return name + " is not a workbook" + tail;
    case ErrorCode::Damaged:
      return name + " is damaged" + tail;
    case ErrorCode::PasswordProtected:
      return name + " is password-protected" + tail;
    case ErrorCode::Unsupported:
      return name + " cannot be read" + tail;
    case ErrorCode::CannotWrite:
      return "cannot write " + name + tail;
    case ErrorCode::NoSuchSheet:
      return name + " has no such worksheet" + tail;
    case ErrorCode::NotOpen:
      return "no workbook is open" + tail;
    case ErrorCode::TooLarge:
      return name + " is too large to read" + tail;
  }
  return name + tail;
}

SpreadsheetError errorForFile(const FormatError& e, std::string_view path) {
  std::string name = std::filesystem::path(path).filename().string();
  return SpreadsheetError(e.code(), describeError(e.code(), name, e.what()));
}

}  // namespace quorvel::spreadsheet
