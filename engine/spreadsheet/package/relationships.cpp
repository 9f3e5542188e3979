#include "engine/spreadsheet/package/relationships.h"

#include <algorithm>

namespace quorvel::spreadsheet {

std::string resolvePartName(std::string_view sourcePart, std::string_view target) {
  std::string t(target);
  std::replace(t.begin(), t.end(), '\\', '/');
  std::string base;
  if (!t.empty() && t[0] == '/') {
    t.erase(0, 1);
  } else {
    std::string src(sourcePart);
    std::replace(src.begin(), src.end(), '\\', '/');
    std::size_t slash = src.rfind('/');
    if (slash != std::string::npos) base = src.substr(0, slash + 1);
  }
  std::vector<std::string> parts;
  std::string joined = base + t;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    std::string seg = joined.substr(start, end - start);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

bool relTypeIs(const Relationship& rel, std::string_view suffix) {
  return rel.type.size() >= suffix.size() &&
         rel.type.compare(rel.type.size() - suffix.size(), suffix.size(), suffix) == 0;
}

const Relationship* findRelationship(const std::vector<Relationship>& rels, std::string_view id) {
  for (const Relationship& rel : rels)
    if (rel.id == id) return &rel;
  return nullptr;
}

const Relationship* findRelationshipOfType(const std::vector<Relationship>& rels,
                                           std::string_view typeSuffix) {
  for (const Relationship& rel : rels)
    if (!rel.external && relTypeIs(rel, typeSuffix)) return &rel;
  return nullptr;
}

}  // namespace quorvel::spreadsheet
