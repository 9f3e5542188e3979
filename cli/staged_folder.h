#pragma once
// A workbook's folder in the mirror layout, written under a hidden temporary
// name beside its place and moved into place only when complete, replacing
// an older one. However a run ends, the folder is the old one, the new one,
// or (killed between two renames, where the file system cannot swap two
// names at once) absent; never a mixture, never in part.
#include <string>

namespace quorvel::cli {

class StagedFolder {
 public:
  // Makes the temporary folder beside `finalPath`, whose parent exists.
  explicit StagedFolder(std::string finalPath);
  // Removes the temporary folder and all in it, unless committed.
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // "" when the temporary folder was made, else the system's reason.
  const std::string& reason() const { return reason_; }
  // Where to write: the temporary folder.
  const std::string& path() const { return temporary_; }

  // Moves the folder into place: atomically swapped with an older folder
  // there when the file system can, else the older one is moved aside
  // first; the older one is then removed. "" on success, else the sentence
  // saying why not (the temporary folder is removed as well).
  std::string commit();

 private:
  std::string final_, temporary_, reason_;
  bool committed_ = false;
};

// Removes what runs that were killed left beside `finalPath`: temporary
// folders of its name (a new folder never moved into place, an old one
// moved aside and never removed).
void RemoveStaleStaging(const std::string& finalPath);

}  // namespace quorvel::cli
