// The workbooks a command line names.
#include "cli/batch.h"
#include "engine/folder_scan.h"
#include "engine/limits.h"
#include "engine/path_kind.h"

namespace quorvel::cli {

namespace {

void scanFolder(const std::string& folder, bool recursive, Inputs& inputs) {
  std::vector<std::string> names = ListFolderWorkbooks(folder);
  if (names.size() > static_cast<std::size_t>(kMaxWorkbooksPerFolder)) {
    inputs.capped.push_back(folder);
    names.resize(kMaxWorkbooksPerFolder);
  }
  for (const std::string& name : names) inputs.workbooks.push_back(JoinPath(folder, name));
  if (recursive)
    for (const std::string& sub : ListSubFolders(folder))
      scanFolder(JoinPath(folder, sub), recursive, inputs);
}

}  // namespace

Inputs collectInputs(const std::vector<std::string>& paths, bool recursive) {
  Inputs inputs;
  for (const std::string& path : paths) {
    switch (GetPathKind(path)) {
      case PathKind::File:
        inputs.workbooks.push_back(path);
        break;
      case PathKind::Directory:
        scanFolder(path, recursive, inputs);
        break;
      case PathKind::Nothing:
        inputs.missing.push_back(path);
    }
  }
  return inputs;
}

}  // namespace quorvel::cli
