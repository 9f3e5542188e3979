#include "tests/support/test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quorvel::test {

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate =
        std::filesystem::temp_directory_path() / ("quorvel-test-" + std::to_string(gen()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::filesystem::path corpusDir() {
  return std::filesystem::path(QUORVEL_CORPUS_DIR);
}

bool VectorCursor::next(spreadsheet::Cell& cell) {
  if (at_ >= cells_.size()) return false;
  const Stored& s = cells_[at_++];
  cell.row = s.row;
  cell.col = s.col;
  cell.kind = s.kind;
  cell.number = s.number;
  cell.text = s.text;
  cell.style = s.style;
  cell.lastCol = s.lastCol;
  return true;
}

}  // namespace quorvel::test
