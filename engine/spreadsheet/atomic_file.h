#pragma once
// A file that appears under its name only when it is complete: it is
// written under a hidden temporary name in the same folder and renamed into
// place at the end, so that a failure, a stop or a signal never leaves a
// file that looks whole but is not.
#include <cstdio>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet {

// The path that stands for standard output: its text is kept in an unnamed
// temporary file and copied out whole on commit, so that a failure or a stop
// sends nothing rather than part of it.
inline constexpr std::string_view kStandardOutput = "-";

class AtomicFile {
 public:
  // Creates the temporary file beside `path` (".NAME.XXXXXX", the name cut
  // so that the whole fits the file system), with the permissions a new file
  // gets; for kStandardOutput, an unnamed one in the temporary folder
  // ($TMPDIR). Throws SpreadsheetError (CannotWrite) naming `path`.
  explicit AtomicFile(std::string path);
  // Removes the temporary file unless it was committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* stream() const { return stream_; }
  const std::string& path() const { return path_; }
  const std::string& temporaryPath() const { return temporary_; }

  // Closes the stream and renames the file to its name, replacing a file
  // there (or copies it to standard output). Throws SpreadsheetError
  // (CannotWrite); the temporary file is then removed.
  void commit();

  // For a program that must end at once: removes the temporary file of every
  // AtomicFile not committed, and keeps new ones from being made or renamed
  // (their threads wait), so the caller must end the process next (_exit).
  static void abandonAll() noexcept;

 private:
  void copyToStandardOutput();
  std::string path_, temporary_;
  std::FILE* stream_ = nullptr;
};

// A new hidden name beside `path`, ".NAME.XXXXXX" with six random letters
// and digits: no extension, and NAME cut at a character so that the name
// fits the file system. For temporary files and folders alike.
std::string temporaryPathBeside(const std::string& path);

// Whether the bare name `name` is one that temporaryPathBeside() gives for a
// path whose file name is `finalName`.
bool isTemporaryNameFor(std::string_view name, std::string_view finalName);

// A new file without a name in the temporary folder ($TMPDIR), open for
// reading and writing (and closed on exec): gone once closed, however the
// program ends. -1, with errno set, when none can be made.
int openUnnamedTemporaryFile();

}  // namespace quorvel::spreadsheet
