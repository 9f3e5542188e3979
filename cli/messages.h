#pragma once
// Messages of quorvel-convert on standard error.
#include <cstdio>
#include <string>

#include "engine/spreadsheet/error.h"

namespace quorvel::cli {

// One message, one line: names from the disk or from a workbook may hold
// line breaks, other control characters or bytes that are not UTF-8.
inline void warn(const std::string& text) {
  std::fprintf(stderr, "quorvel-convert: %s\n", spreadsheet::printable(text).c_str());
}

}  // namespace quorvel::cli
