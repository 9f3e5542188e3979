#pragma once
// The one error type of the spreadsheet component: a positive number and a
// sentence for a person that names the file and says what is wrong.
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet {

enum class ErrorCode : int {
  CannotOpen = 1001,         // the file cannot be opened or read
  NotAWorkbook = 1002,       // the file is not a workbook of a known kind
  Damaged = 1003,            // a workbook whose structure is broken
  PasswordProtected = 1004,  // encrypted, and no password we tried opens it
  Unsupported = 1005,        // a valid workbook using something we do not read
  CannotWrite = 1006,        // an output file cannot be written
  NoSuchSheet = 1007,        // a worksheet index outside the workbook
  NotOpen = 1008,            // a step called without an open workbook
  TooLarge = 1009,           // a part larger than the program accepts
};

class SpreadsheetError : public std::runtime_error {
 public:
  // `description` is shown to the user as it stands.
  SpreadsheetError(ErrorCode code, std::string description)
      : std::runtime_error(description), code_(code) {}

  ErrorCode code() const { return code_; }
  int number() const { return static_cast<int>(code_); }
  std::string description() const { return what(); }

 private:
  ErrorCode code_;
};

// Readers know what is wrong but not always which file they read: they raise
// a FormatError with the detail, and the component adds the file name.
class FormatError : public std::runtime_error {
 public:
  FormatError(ErrorCode code, std::string detail) : std::runtime_error(detail), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

[[noreturn]] inline void fail(ErrorCode code, std::string detail) {
  throw FormatError(code, std::move(detail));
}
[[noreturn]] inline void damaged(std::string detail) {
  throw FormatError(ErrorCode::Damaged, std::move(detail));
}

// `text` (from a file, or a name) fit for a one-line message: control
// characters and bytes that are not UTF-8 become escapes such as \n or \xE9.
std::string printable(std::string_view text);

// Builds the sentence the user sees, e.g.
// "'Book1.xlsx' is not a workbook: no workbook part in the package".
// The name and the detail are made printable: one failure, one line.
std::string describeError(ErrorCode code, std::string_view fileName, std::string_view detail);

// The same, from a FormatError raised while reading `path`.
SpreadsheetError errorForFile(const FormatError& e, std::string_view path);

}  // namespace quorvel::spreadsheet
