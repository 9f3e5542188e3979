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

// Raised when a stop is requested while a worksheet is written: nothing is
// wrong with the workbook, and the unfinished file is gone.
class StopRequested : public std::runtime_error {
 public:
  StopRequested() : std::runtime_error("stopped") {}
};

[[noreturn]] inline void fail(ErrorCode code, std::string detail) {
  throw FormatError(code, std::move(detail));
}
[[noreturn]] inline void damaged(std::string detail) {
  throw FormatError(ErrorCode::Damaged, std::move(detail));
}

// `text` (from a file, or a name) fit for a one-line message: control
// characters and bytes that are not UTF-8 become escapes such as \n or \xE9,
// and a text longer than `maxBytes` is cut short with "...".
std::string printable(std::string_view text, std::size_t maxBytes = std::string_view::npos);

// How long a piece of a file's content quoted in a message may be.
inline constexpr std::size_t kQuotedContentBytes = 40;

// Builds the sentence the user sees, e.g.
// "'Book1.xlsx' is not a workbook: no workbook part in the package".
// The name and the detail are made printable: one failure, one line.
std::string describeError(ErrorCode code, std::string_view fileName, std::string_view detail);

// "the part NAME" as a message names a part of a package (the name made
// printable and cut short), or "a part without a name" for an empty name.
std::string partText(std::string_view partName);

// Raised when no password opens an encrypted workbook: `given` says whether
// the user gave any besides the application's default one.
[[noreturn]] void noPasswordOpens(bool given);

// The same, from a FormatError raised while reading `path`.
SpreadsheetError errorForFile(const FormatError& e, std::string_view path);

}  // namespace quorvel::spreadsheet
