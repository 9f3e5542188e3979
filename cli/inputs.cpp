// The workbooks a command line names.
#include <filesystem>
#include <system_error>

#include "cli/batch.h"
#include "engine/folder_scan.h"
#include "engine/path_kind.h"

namespace quorvel::cli {

namespace {

// Every workbook of the folder: the window's limit of 500 belongs to its
// list, not to a converter that holds no list. `below` is the folder's path
// below the input folder, "" for the input folder itself.
void scanFolder(const std::string& folder, const std::string& below, bool recursive,
                Inputs& inputs) {
  for (const std::string& name : ListFolderWorkbooks(folder)) {
    const std::string path = JoinPath(folder, name);
    inputs.workbooks.push_back({path, path, name, below + name});
  }
  if (recursive)
    for (const std::string& sub : ListSubFolders(folder))
      scanFolder(JoinPath(folder, sub), below + sub + "/", recursive, inputs);
}

}  // namespace

Inputs collectInputs(const std::vector<std::string>& paths, bool recursive,
                     const InputWorkbook& standardInput) {
  Inputs inputs;
  for (const std::string& path : paths) {
    if (path == "-") {
      inputs.workbooks.push_back(standardInput);
      continue;
    }
    switch (LiteralPathKind(path)) {
      case PathKind::File: {
        const std::string name = std::filesystem::path(path).filename().string();
        inputs.workbooks.push_back({path, path, name, name});
        break;
      }
      case PathKind::Directory:
        scanFolder(path, "", recursive, inputs);
        break;
      case PathKind::Nothing: {
        // Only looked at, never opened: opening a pipe would wait for a writer.
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::status(path, ec)))
          inputs.notRegular.push_back(path);
        else
          inputs.missing.push_back(path);
      }
    }
  }
  return inputs;
}

}  // namespace quorvel::cli
