#pragma once
// The relationships of a package part (Open Packaging Conventions): how a
// workbook part names its sheets, styles and shared strings.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::spreadsheet {

struct Relationship {
  std::string id;
  std::string type;    // the full type URI
  std::string target;  // resolved part name, no leading '/'
  bool external = false;
};

// "xl/worksheets/sheet1.xml" from a source part and a relationship target.
std::string resolvePartName(std::string_view sourcePart, std::string_view target);

// True when a relationship type ends in the given suffix, e.g. "/worksheet"
// (transitional and strict URIs differ only before it).
bool relTypeIs(const Relationship& rel, std::string_view suffix);

// The first relationship with the id, external or not; nullptr when none.
const Relationship* findRelationship(const std::vector<Relationship>& rels, std::string_view id);

// The first relationship inside the package whose type ends in
// `typeSuffix`; nullptr when none.
const Relationship* findRelationshipOfType(const std::vector<Relationship>& rels,
                                           std::string_view typeSuffix);

}  // namespace quorvel::spreadsheet
