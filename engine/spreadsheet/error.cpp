#include "engine/spreadsheet/error.h"

#include <filesystem>

#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

std::string messageText(std::string_view text, std::size_t maxBytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    if (out.size() >= maxBytes) {
      out += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = utf8CharLength(text, at);
    if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F)) {
      out.append(text, at, length);
      at += length;
      continue;
    }
    switch (byte) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    }
    ++at;
  }
  return out;
}

std::string partText(std::string_view partName) {
  if (partName.empty()) return "a part without a name";
  return "the part " + messageText(partName, 2 * kQuotedContentBytes);
}

void noPasswordOpens(bool given) {
  // A damaged verifier fails every password just as a wrong password does.
  fail(ErrorCode::PasswordProtected,
       given ? "none of the given passwords opens it (or its encryption data is damaged)" : "");
}

std::string describeError(ErrorCode code, std::string_view fileName, std::string_view detail) {
  std::string name;
  name.reserve(fileName.size() + 2);
  name.append(1, '\'').append(messageText(fileName)).append(1, '\'');
  std::string tail;
  if (!detail.empty()) tail.append(": ").append(detail);
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
