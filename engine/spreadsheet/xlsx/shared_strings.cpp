#include "engine/spreadsheet/xlsx/shared_strings.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/xml_scanner.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"

namespace quorvel::spreadsheet {

void SharedStrings::add(std::string_view text) {
  if (arena_.size() + text.size() > kMaxSharedStringBytes)
    fail(ErrorCode::TooLarge, "its shared strings hold more than " +
                                  std::to_string(kMaxSharedStringBytes >> 20) + " MB of text");
  arena_ += text;
  ends_.push_back(static_cast<std::uint32_t>(arena_.size()));
}

void SharedStrings::read(PartStream& stream) {
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
        if (!inItem) add("");
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
        add(item);
        inItem = false;
      } else if (name == "rPh" && phonetic > 0) {
        --phonetic;
      }
    }
  }
  if (inItem) xml.fail("ends inside a string");
}

}  // namespace quorvel::spreadsheet
