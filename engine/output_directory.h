#pragma once
// The output directory checked before a conversion run: normalised, and
// created when the user typed a new one.
#include <optional>
#include <string>

namespace quorvel {

enum class DirectoryProblem {
  NoneGiven,     // the text is empty
  DoesNotExist,  // a directory chosen from the history is gone; it is never created
  CannotCreate,  // a typed directory that is not there could not be created
};

struct OutputDirectoryCheck {
  // Accepted: the directory without trailing separators, followed by
  // exactly one. Refused: the text (NoneGiven, DoesNotExist) or the
  // stripped path that could not be created (CannotCreate).
  std::string directory;
  std::optional<DirectoryProblem> problem;
  std::string reason;  // CannotCreate: why, in the system's words

  bool accepted() const { return !problem; }
};

// `typed`: the text was typed rather than chosen from the history; only a
// typed directory is created.
OutputDirectoryCheck validateOutputDirectory(const std::string& text, bool typed);

// The sentence the user is shown for a problem.
const char* describe(DirectoryProblem problem);

}  // namespace quorvel
