// The local recipe of docs/scale-out.md, run as it stands there: N shards
// under GNU parallel leave exactly the tree of one run over the whole batch,
// and their merged reports are that run's report.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The shell block after the "tested" mark of the page.
std::string testedRecipe() {
  const std::string page = test::readFile(std::string(QUORVEL_SOURCE_DIR) + "/docs/scale-out.md");
  const std::size_t mark = page.find("<!-- tested:");
  if (mark == std::string::npos) return "";
  const std::size_t open = page.find("```sh\n", mark);
  const std::size_t close = page.find("\n```", open + 6);
  if (open == std::string::npos || close == std::string::npos) return "";
  return page.substr(open + 6, close - open - 6) + "\n";
}

std::map<std::string, std::string> tree(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    files[fs::relative(e.path(), root).string()] =
        e.is_regular_file() ? test::readFile(e.path().string()) : "<folder>";
  return files;
}

int shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ScaleOutRecipe, ShardsUnderGnuParallelGiveTheTreeAndReportOfOneRun) {
  ASSERT_EQ(shell("command -v parallel >/dev/null && command -v jq >/dev/null"), 0)
      << "GNU parallel and jq are needed: scripts/setup installs them";
  const std::string recipe = testedRecipe();
  ASSERT_NE(recipe.find("parallel"), std::string::npos) << "no tested recipe in the page";

  test::TempDir dir;
  const std::string in = dir.file("in"), out = dir.file("out");
  for (int i = 0; i < 14; ++i) {
    const std::string folder = in + (i % 3 ? "/q" + std::to_string(i % 3) + "/x" : "");
    fs::create_directories(folder);
    test::writeWorkbook(folder + "/Book " + std::to_string(i) + ".xlsx",
                        {{"S", {{double(i), std::string("t")}}}, {"T", {{1.5}}}});
  }
  test::writeFile(in + "/q1/Broken.xlsx", "PK\x03\x04 not a zip");

  const std::string convert = QUORVEL_CONVERT_EXE;
  ASSERT_EQ(shell("'" + convert + "' -q -r --layout mirror --report '" + dir.file("one.json") +
                  "' '" + in + "' -o '" + out + "'"),
            1);  // the broken workbook
  const auto whole = tree(out);
  json one = json::parse(test::readFile(dir.file("one.json")));
  auto& books = one["workbooks"];
  std::sort(books.begin(), books.end(),
            [](const json& a, const json& b) { return a["input"] < b["input"]; });
  fs::remove_all(out);

  fs::create_directories(dir.file("work"));
  test::writeFile(dir.file("work/recipe.sh"), recipe);
  const std::string bin = fs::path(convert).parent_path().string();
  shell("cd '" + dir.file("work") + "' && N=3 IN='" + in + "' OUT='" + out + "' PATH='" + bin +
        "':\"$PATH\" bash recipe.sh >recipe.out 2>&1");
  ASSERT_TRUE(fs::exists(dir.file("work/report.json")))
      << test::readFile(dir.file("work/recipe.out"));
  EXPECT_EQ(tree(out), whole);
  EXPECT_EQ(json::parse(test::readFile(dir.file("work/report.json"))), one);
  for (int k = 0; k < 3; ++k)  // every shard took part
    EXPECT_GT(json::parse(test::readFile(
                  dir.file("work/reports/shard-" + std::to_string(k) + ".json")))["workbooks"]
                  .size(),
              0u);
}

}  // namespace
}  // namespace quorvel

#endif
