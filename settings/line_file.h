#pragma once
// The program's own small text files: UTF-8, one entry per line, every line
// written with CR LF. A line read ends at CR LF or at a lone CR; an LF that
// does not follow a CR is ordinary text; a last line without terminator
// counts as well.
#include <string>
#include <vector>

namespace quorvel {

std::vector<std::string> SplitLines(const std::string& content);
// A file that is missing or cannot be read has no lines.
std::vector<std::string> ReadLines(const std::string& path);
// Creates or truncates the file; false when it cannot be written.
bool WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace quorvel
