#pragma once
// A file that appears under its name only when it is complete: it is
// written under a hidden temporary name in the same folder and renamed into
// place at the end, so that a failure, a stop or a signal never leaves a
// file that looks whole but is not.
#include <cstdio>
#include <string>

namespace quorvel::spreadsheet {

class AtomicFile {
 public:
  // Creates the temporary file beside `path` (".NAME.XXXXXX", the name cut
  // so that the whole fits the file system), with the permissions a new file
  // gets. Throws SpreadsheetError (CannotWrite) naming `path`.
  explicit AtomicFile(std::string path);
  // Removes the temporary file unless it was committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* stream() const { return stream_; }
  const std::string& path() const { return path_; }
  const std::string& temporaryPath() const { return temporary_; }

  // Closes the stream and renames the file to its name, replacing a file
  // there. Throws SpreadsheetError (CannotWrite); the temporary file is then
  // removed.
  void commit();

  // For a program that must end at once: removes the temporary file of every
  // AtomicFile not committed, and keeps new ones from being made or renamed
  // (their threads wait), so the caller must end the process next (_exit).
  static void abandonAll() noexcept;

 private:
  std::string path_, temporary_;
  std::FILE* stream_ = nullptr;
};

}  // namespace quorvel::spreadsheet
