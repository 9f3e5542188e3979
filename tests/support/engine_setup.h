#pragma once
// The window's procedures on an in-memory window and a scripted spreadsheet
// component, with a temporary folder for workbooks and output.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/path_kind.h"
#include "engine/window/window_procedures.h"
#include "tests/support/fake_application.h"
#include "tests/support/memory_window.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

struct EngineSetup {
  TempDir dir;
  MemoryWindow window;
  std::shared_ptr<FakeScript> script = std::make_shared<FakeScript>();
  WindowProcedures procedures{window, script->factory()};

  // Empty files in the temporary folder's "in" folder, which becomes the
  // selected job; the workbook list is filled by the folder scan.
  std::string jobFolder(const std::vector<std::string>& files) {
    std::filesystem::path in = dir.path() / "in";
    std::filesystem::create_directories(in);
    for (const auto& f : files) writeFile((in / f).string(), "");
    window.jobs.clear();
    window.jobs.select(window.jobs.add(in.string(), kImageFolder));
    procedures.AddFolderWorkbooks(in.string());
    if (window.workbooks.count() > 0) window.workbooks.select(1);
    return in.string();
  }

  // The output folder "out" (not created), typed into the output box.
  std::string typeOutput(const std::string& name = "out") {
    std::string out = dir.file(name);
    window.output.setText(out);
    return out;
  }

  // Bare names of the entries of `folder`, sorted.
  static std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace quorvel::test
