#include "engine/spreadsheet/error.h"

#include <filesystem>

namespace quorvel::spreadsheet {

std::string describeError(ErrorCode code, std::string_view fileName, std::string_view detail) {
  std::string name;
  name.reserve(fileName.size() + 2);
  name.append(1, '\'').append(fileName).append(1, '\'');
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
      return name + " is password-protected";
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
