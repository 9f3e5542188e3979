#pragma once
// Writes a compound file ([MS-CFB] version 4, 4096-byte sectors) holding
// streams at its root: how tests and benchmarks wrap encrypted packages.
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

// `streams`: name (ASCII) and content. Streams under 4096 bytes go to the
// mini stream, as readers expect.
void writeCompoundFile(const std::string& path,
                       const std::vector<std::pair<std::string, std::string>>& streams);

}  // namespace quorvel::test
