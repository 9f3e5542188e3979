#include "engine/spreadsheet/xlsx/shared_strings.h"

#include "engine/spreadsheet/package/xml_scanner.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"

namespace quorvel::spreadsheet::xlsx {

void readSharedStrings(PartStream& stream, StringTable& table) {
  using T = XmlScanner::Token;
  XmlScanner xml(stream);
  std::string raw, item;
  int phonetic = 0;     // depth inside <rPh>, whose text is a reading aid, not content
  bool inItem = false;  // inside <si>
  for (;;) {
    T token = xml.next();
    if (token == T::End) break;
    if (token == T::StartTag) {
      std::string_view name = xml.name();
      if (name == "si") {
        raw.clear();
        inItem = !xml.selfClosing();
        phonetic = 0;
        if (!inItem) table.append("");
      } else if (name == "rPh") {
        if (!xml.selfClosing()) ++phonetic;
      } else if (name == "t" && inItem && phonetic == 0 && !xml.selfClosing()) {
        // The text of one <t>, possibly in several tokens (comments, CDATA).
        for (T t = xml.next(); t != T::EndTag; t = xml.next()) {
          if (t == T::End) xml.fail("ends inside a string");
          if (t == T::Text) xml.appendText(raw);
        }
      }
    } else if (token == T::EndTag) {
      std::string_view name = xml.name();
      if (name == "si" && inItem) {
        item.clear();
        appendUnescaped(raw, item);
        table.append(item);
        inItem = false;
      } else if (name == "rPh" && phonetic > 0) {
        --phonetic;
      }
    }
  }
  if (inItem) xml.fail("ends inside a string");
}

}  // namespace quorvel::spreadsheet::xlsx
