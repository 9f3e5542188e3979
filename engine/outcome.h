#pragma once
// What became of a piece of the engine's work: an outcome, and for a
// failure its number and the sentence a person reads.
#include <string>

namespace quorvel {

struct Failure {
  int number = 0;  // positive for every failure of our own
  std::string description;
};

enum class Outcome {
  Done,              // listed, or every chosen worksheet written
  Failed,            // an error stopped the work; the failure says why
  NoWorkbook,        // the path names no workbook file (any more): nothing was opened
  Stopped,           // a stop was requested; what was written before it stays
  FolderNotCreated,  // a run could not make the workbook's folder; the failure says why
  NotStarted,        // a run was stopped before it reached this workbook
};

}  // namespace quorvel
