#pragma once
// What a zip archive's end records say of its central directory, read before
// libzip parses the whole directory into memory: a package of a million
// entries is refused from a few bytes instead.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::spreadsheet {

struct ZipDirectoryClaim {
  std::uint64_t entries = 0;  // entries of the central directory
  std::uint64_t bytes = 0;    // its size in the file
};

// The claims of every end-of-central-directory record in the file's last
// 64 KB whose directory lies inside the file (libzip tries each of them),
// with the zip64 record's figures where one is linked. None when the file
// cannot be read: opening it then says what is wrong.
std::vector<ZipDirectoryClaim> readZipDirectoryClaims(const std::string& path);

}  // namespace quorvel::spreadsheet
