#pragma once
// A thin SAX layer over expat for the package's XML parts. Element and
// attribute names are given without their namespace prefix, so transitional
// and strict documents read alike. A document type declaration is refused:
// no DTD is processed and no entity is expanded.
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet {

class PartStream;

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // attrs: name, value, name, value, ..., nullptr (names with their prefix).
  virtual void startElement(std::string_view name, const char** attrs) = 0;
  virtual void endElement(std::string_view /*name*/) {}
  virtual void characters(std::string_view /*text*/) {}
};

// The name without its namespace prefix ("x:sheet" -> "sheet").
std::string_view localName(std::string_view name);
// The value of the attribute whose local name is `name`, or nullptr.
const char* findAttr(const char** attrs, std::string_view name);

// Parse a whole part held in memory, or a part streamed from the package.
// `partName` names the part in error messages. Throws FormatError.
void parseXml(std::string_view data, XmlHandler& handler, std::string_view partName);
void parseXml(PartStream& stream, XmlHandler& handler, std::string_view partName);

}  // namespace quorvel::spreadsheet
